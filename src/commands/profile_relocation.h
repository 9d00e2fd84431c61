// The Set command: moves the browser's profile beside the browser and writes the path file.
#pragma once
#include "commands/set_transaction.h"
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// Ends the tool when the user chooses to stop at the question about the Setting folder's path.
// `observer` is told about each step of the copy-and-swap as it is done.
AfterCommand RelocateProfile(const Context& context, Ui& ui,
                             SetStepObserver observer = [](SetStep) {});

}  // namespace velmo
