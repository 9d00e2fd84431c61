// The shell functions the tool calls, from shell32.dll loaded out of System32 on first use: the
// window starts without it, so the user sees the window sooner (shell32 and the DLLs it pulls in
// are the larger part of a start-up). Once loaded it stays for the rest of the process.
#pragma once
#include <windows.h>
#include <shellapi.h>

namespace velmo {

// SHFileOperationW: returns what the shell returns. Throws PlatformError when shell32.dll or the
// function cannot be loaded. The calling thread must have entered a COM apartment.
int ShellFileOperation(SHFILEOPSTRUCTW& operation);

}  // namespace velmo
