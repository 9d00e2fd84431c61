// The way back from a portable installation: the browser's portable configuration is copied into
// the user's own profile folder (%APPDATA%\velmoexplorer) and the path file is deleted, so that
// the browser runs as an installed one again. The portable folder itself is never changed.
#pragma once
#include <string>

#include "commands/replacement.h"
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// The restore of the installation in `installDir` for the user whose APPDATA is `appData`: the
// portable `configuration`, its cache folders left out, copied into the user's profile folder,
// committed by deleting the path file, which holds `pathFileBefore`. Throws PlatformError when
// the folder that holds the profile folder cannot be identified (then nothing may start).
Replacement RestoreReplacement(const std::wstring& installDir, const std::wstring& appData,
                               const std::wstring& configuration, std::string pathFileBefore);

// `observer` is told about each step of the transaction as it is done.
void RestoreInstalledProfile(const Context& context, Ui& ui,
                             ReplacementObserver observer = [](ReplacementStep) {});

}  // namespace velmo
