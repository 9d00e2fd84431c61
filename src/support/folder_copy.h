// Copying a folder with everything in it through the shell's file operation.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "support/shell_api.h"

namespace velmo {

// What a copy came to. True (as a condition) exactly when it is complete.
struct CopyResult {
  bool complete = false;
  // The user cancelled the copy in the shell's progress window (or answered one of its questions
  // with Cancel): the copy is not complete.
  bool cancelled = false;
  // Not cancelled and not complete: an entry of the source that the copy lacks or holds with
  // another size, when the check of the copy found one (the source itself when it cannot be
  // listed); empty when the copy was not checked.
  std::wstring notCopied;
  explicit operator bool() const { return complete; }
};

// Runs a shell file operation and returns what the shell returns; ShellFileOperation does.
using ShellOperationRunner = std::function<int(SHFILEOPSTRUCTW&)>;

// Copies the folder `source` to the new folder `destination` with one shell copy operation,
// leaving out the entries at `excluded` (paths below `source`, such as "Webkit\Cache", matched
// without regard to letter case): they are neither copied nor looked for in the copy, and the
// folders that hold them are made in the copy with their other entries. `source` is only read.
// `showProgress` lets the shell show its progress window and its own questions; without it the
// copy runs silently and creates the folders it needs without asking. The shell's operation is
// handed to `run`, which must run it (or pass it on to ShellFileOperation) inside the COM
// apartment CopyFolder has entered.
// Complete only when nothing stood at `destination`, the shell reported success, nothing was
// aborted, and every other file and folder of the source is present in the copy with the same
// size (a symbolic link's as the size of what it points to). Never throws.
CopyResult CopyFolder(const std::wstring& source, const std::wstring& destination,
                      const std::vector<std::wstring>& excluded, bool showProgress,
                      const ShellOperationRunner& run = ShellFileOperation);

}  // namespace velmo
