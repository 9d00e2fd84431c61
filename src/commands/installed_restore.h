// The way back from a portable installation: the browser's portable configuration is copied into
// the user's own profile folder (%APPDATA%\velmoexplorer) and the path file is deleted, so that
// the browser runs as an installed one again. The portable folder itself is never changed.
#pragma once
#include "commands/set_transaction.h"
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// `observer` is told about each step of the transaction as it is done.
void RestoreInstalledProfile(const Context& context, Ui& ui,
                             SetStepObserver observer = [](SetStep) {});

}  // namespace velmo
