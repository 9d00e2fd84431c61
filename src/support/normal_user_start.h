// Starting a program with the rights of an ordinary user when the tool itself runs elevated and
// the desktop's shell cannot start it: a normal-user token made from the tool's own token.
#pragma once
#include <windows.h>

#include <string>

namespace velmo {

// Starts `program` with the command line `commandLine` in `workingFolder`, as `startup` says,
// with a normal-user token derived from this process's token (the Administrators group for
// denying only, the administrator's privileges removed) at medium integrity. Returns once the
// process exists. Throws PlatformError carrying `operation` and `program` when the token cannot
// be made or the system does not start a process with it.
void StartAsNormalUser(const std::wstring& program, std::wstring commandLine,
                       const std::wstring& workingFolder, STARTUPINFOW& startup,
                       const std::wstring& operation);

}  // namespace velmo
