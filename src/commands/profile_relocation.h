// The Set command: moves the browser's profile beside the browser and writes the path file.
#pragma once
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

void RelocateProfile(const Context& context, Ui& ui);

}  // namespace velmo
