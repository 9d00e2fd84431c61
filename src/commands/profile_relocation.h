// The Set command: moves the browser's profile beside the browser and writes the path file.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "commands/replacement.h"
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// The Set of the installation in `context`: the profile, its cache folders deleted first, copied
// into Setting, committed by writing `pathFileLines` to the path file, which holds
// `pathFileBefore` now (nullopt: there is none).
Replacement SetReplacement(const Context& context, std::vector<std::wstring> pathFileLines,
                           std::optional<std::string> pathFileBefore);

// Ends the tool when the user chooses to stop at the question about the Setting folder's path.
// `observer` is told about each step of the copy-and-swap as it is done.
AfterCommand RelocateProfile(const Context& context, Ui& ui,
                             ReplacementObserver observer = [](ReplacementStep) {});

}  // namespace velmo
