// The Set command: moves the browser's profile beside the browser and writes the path file.
#pragma once
#include "app/context.h"
#include "app/ui.h"
#include "commands/set_transaction.h"

namespace velmo {

void RelocateProfile(const Context& context, Ui& ui);

// The same, telling `observer` about each step of the copy-and-swap as it is done.
void RelocateProfile(const Context& context, Ui& ui, const SetStepObserver& observer);

}  // namespace velmo
