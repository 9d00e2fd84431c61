// The commands that start other programs: the file manager on the cache folder, and the browser.
// The browser is started only for the desktop's user, and never elevated where the desktop is not.
#pragma once
#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// View cache files: opens the recorded Webkit cache folder in the file manager. Another or an
// unknown account than the desktop's gets the account box, and the file manager is started only
// by a route of the context's rights, else one box (tool title, information icon, OK) names the
// folder for the user to open from the desktop.
void ViewCacheFiles(const Context& context, Ui& ui);

// Set as default browser: runs the browser with its default-browser switch.
void SetAsDefaultBrowser(const Context& context, Ui& ui);

// Launch: runs the browser.
void LaunchBrowser(const Context& context, Ui& ui);

// For both: another or an unknown account gets the account box and nothing starts
// (RunsAsDesktopUser); when no route of the context's rights can start the browser, one box
// (tool title, information icon, OK) asks the user to start it from the desktop instead.

}  // namespace velmo
