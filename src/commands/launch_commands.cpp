#include "commands/launch_commands.h"

namespace velmo {

void ViewCacheFiles(const Context&, Ui&) {}

void SetAsDefaultBrowser(const Context&, Ui&) {}

void LaunchBrowser(const Context&, Ui&) {}

}  // namespace velmo
