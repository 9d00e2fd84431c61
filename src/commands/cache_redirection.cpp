#include "commands/cache_redirection.h"

namespace velmo {

void BrowseCacheFolder(const Context&, Ui&) {}

void MoveCacheFolder(const Context&, Ui&) {}

}  // namespace velmo
