#include "commands/profile_relocation.h"

namespace velmo {

void RelocateProfile(const Context&, Ui&) {}

}  // namespace velmo
