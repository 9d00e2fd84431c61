// Starting other programs without a search: the program is always named by its full path, its
// command line is quoted, and the caller never waits for the program.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace velmo {

// How the started program shows its first window.
enum class WindowState : WORD {
  Normal = SW_SHOWNORMAL,        // shown normally and given the focus
  Minimized = SW_SHOWMINIMIZED,  // shown minimised and given the focus
};

// The ways a program can be started for the desktop's user.
enum class StartRoute {
  kDirect,           // by this process, with its own rights
  kDesktopShell,     // by the desktop's shell, with the shell's rights
  kNormalUserToken,  // by this process with a normal-user token made from its own, at medium integrity
};

// One argument written so that the usual command-line parsers read it back unchanged: as it is
// when it is not empty and holds no blank or quote, else in quotes, with its quotes and the
// backslashes before a quote escaped.
std::wstring QuoteArgument(const std::wstring& argument);

// The program's full path in quotes, then each argument quoted as needed, separated by spaces.
std::wstring BuildCommandLine(const std::wstring& program,
                              const std::vector<std::wstring>& arguments);

// Starts `program` (a full path: no search of any folder takes place) with `arguments` and the
// first window in `state`, in the program's own folder, by the first of `routes` that works (the shell's start
// and the normal-user token's are skipped when they cannot be had). True once started; false when
// no route could start it. A missing program file, and a failure of the direct start, throw
// PlatformError carrying `operation` and the program's path.
bool StartProgramBy(const std::vector<StartRoute>& routes, const std::wstring& program,
                    const std::vector<std::wstring>& arguments, WindowState state,
                    const std::wstring& operation);

// <Windows folder>\explorer.exe, the file manager. Throws PlatformError when the Windows folder
// cannot be found.
std::wstring FileManagerPath();

// Starts the file manager on `folder`, which it receives in quotes, by the first of `routes` that
// works, as StartProgramBy does. False when no route could start it. Throws PlatformError carrying
// `operation` when the folder's path holds a quote (no folder's name can) or a route fails.
bool OpenFolderInFileManager(const std::vector<StartRoute>& routes, const std::wstring& folder,
                             WindowState state, const std::wstring& operation);

}  // namespace velmo
