// The step a command that changes the installation or starts the browser takes first: the tool
// must run as the user of the desktop it was started on, since the profile it copies, the folders
// it records and the browser that uses them all belong to that user.
#pragma once
#include <string>

#include "model/ui.h"
#include "support/desktop_rights.h"

namespace velmo {

// True when the command may go on. When the tool runs as another account than the desktop's
// (someone typed an administrator's password at the prompt), or which account it runs as cannot
// be established, one box says so (tool title, information icon, OK) and the command must change
// nothing and start nothing.
bool RunsAsDesktopUser(Ui& ui);

// The same with the decision and the account's name given (`account` may be empty).
bool RunsAsDesktopUser(Ui& ui, const RightsDecision& rights, const std::wstring& account);

}  // namespace velmo
