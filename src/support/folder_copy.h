// Copying a folder with everything in it through the shell's file operation.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>


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

// Copies the folder `source` to `destination` with one shell copy operation.
// - A destination that does not exist becomes a folder holding a copy of the source's contents.
// - A destination that is an existing folder receives the source as a subfolder of the source's
//   name, as the shell does.
// - A plain file at the destination (not hidden, not system) is deleted first when `overwrite`
//   is true; when it cannot be deleted nothing is copied.
// `showProgress` lets the shell show its progress window and its own questions; without it the
// copy runs silently and creates the folders it needs without asking.
// Complete only when the shell reported success, aborted nothing, and every file and folder of
// the source is present in the copy with the same size (a symbolic link's as the size of what it
// points to). Never throws.
CopyResult CopyFolder(const std::wstring& source, const std::wstring& destination, bool showProgress,
                bool overwrite);

// Runs a shell file operation and returns what the shell returns; ShellFileOperation does.
using ShellOperationRunner = std::function<int(SHFILEOPSTRUCTW&)>;

// CopyFolder with the shell's copy operation handed to `run`, which must run it (or pass it on to
// ShellFileOperation) inside the COM apartment CopyFolder has entered.
CopyResult CopyFolder(const std::wstring& source, const std::wstring& destination,
                      bool showProgress, bool overwrite, const ShellOperationRunner& run);

// Copies the folder `source` to the new folder `destination` with one shell copy operation,
// leaving out the entries at `excluded` (paths below `source`, such as "Webkit\Cache", matched
// without regard to letter case): they are neither copied nor looked for in the copy, and the
// folders that hold them are made in the copy with their other entries. `source` is only read.
// Complete only when `destination` did not exist, the shell reported success, nothing was
// aborted, and every other file and folder of the source is present in the copy with the same
// size. Never throws.
CopyResult CopyFolderExcept(const std::wstring& source, const std::wstring& destination,
                            const std::vector<std::wstring>& excluded, bool showProgress);

// CopyFolderExcept with the shell's copy operation handed to `run`, as CopyFolder above.
CopyResult CopyFolderExcept(const std::wstring& source, const std::wstring& destination,
                            const std::vector<std::wstring>& excluded, bool showProgress,
                            const ShellOperationRunner& run);

}  // namespace velmo
