// The commands that start other programs: the file manager on the cache folder, and the browser.
#pragma once
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// View cache files: opens the recorded Webkit cache folder in the file manager.
void ViewCacheFiles(const Context& context, Ui& ui);

// Set as default browser: runs the browser with its default-browser switch.
void SetAsDefaultBrowser(const Context& context, Ui& ui);

// Launch: runs the browser.
void LaunchBrowser(const Context& context, Ui& ui);

}  // namespace velmo
