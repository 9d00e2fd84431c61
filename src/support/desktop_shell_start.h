// Starting a program through the desktop's own shell, so that it runs with the shell's rights
// (not elevated) when the tool itself runs elevated.
#pragma once
#include <string>

namespace velmo {

// Asks the desktop's shell (its IShellDispatch2, reached from the desktop window's view) to start
// `program` with the command-line arguments `arguments` in `workingFolder` and the first window
// shown as `showCommand` (SW_*). Returns once the shell took the request; the shell reports no
// failure of the start itself. Throws PlatformError carrying `operation` and `program` when the
// shell could not be reached (no desktop window, a COM failure) or refused the request.
void StartThroughDesktopShell(const std::wstring& program, const std::wstring& arguments,
                              const std::wstring& workingFolder, int showCommand,
                              const std::wstring& operation);

}  // namespace velmo
