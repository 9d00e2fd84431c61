// Starting a program with administrator rights: the shell's "runas" verb, which makes the system
// ask the user for consent (or for an administrator's password) first.
#pragma once
#include <windows.h>

#include <string>

namespace velmo {

// Starts `program` (a full path) elevated, in `folder`, its consent prompt owned by `owner`.
// Returns true once it was started, false when the user refused the prompt. Throws
// PlatformError on any other failure.
bool StartAsAdministrator(const std::wstring& program, const std::wstring& folder, HWND owner);

}  // namespace velmo
