// Drives the platform's folder browser ("选择文件夹") that the tool opens for Browse: finds it,
// reads its prompt, walks its folder tree down to a folder, picks it, or cancels.
// The dialog lives in the tool's process; tree item texts are read through a buffer allocated in
// that process. Every wait polls every 20 ms up to a deadline.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"

namespace velmo::e2e {

// The id of the folder tree inside the shell's folder browser dialog.
inline constexpr int kFolderTreeId = 14145;

class FolderBrowser {
 public:
  // The visible folder browser of process `pid` (a dialog holding the folder tree), or nullopt
  // after the deadline.
  static std::optional<FolderBrowser> WaitFor(DWORD pid, DWORD timeoutMs = kDefaultWaitMs);

  HWND Dialog() const { return dialog_; }
  std::wstring Title() const;
  // Texts of the dialog's static controls, the prompt among them.
  std::vector<std::wstring> StaticTexts() const;

  // Expands the tree down to `folder`, a full path like "C:\users\root\Temp\x" (drive letter
  // and names compared without regard to case), selects it and presses OK. Returns false and
  // leaves the dialog open when a step of the path does not appear before the deadline.
  bool Choose(const std::wstring& folder, DWORD timeoutMs = kDefaultWaitMs);
  // Presses Cancel.
  void Cancel();
  // True once the dialog has gone, false after the deadline.
  bool WaitClosed(DWORD timeoutMs = kDefaultWaitMs) const;

 private:
  FolderBrowser(HWND dialog, HWND tree, DWORD pid) : dialog_(dialog), tree_(tree), pid_(pid) {}

  HTREEITEM Next(HTREEITEM item, UINT relation) const;
  std::wstring ItemText(HTREEITEM item) const;
  // The child of `parent` whose text matches, expanding `parent` and waiting for its children.
  HTREEITEM FindChild(HTREEITEM parent, bool (*matches)(const std::wstring&, const std::wstring&),
                      const std::wstring& wanted, DWORD deadline) const;
  // The item for a drive ("C:"): a grandchild of the tree's root, under the computer item.
  HTREEITEM FindDrive(const std::wstring& drive, DWORD deadline) const;

  HWND dialog_;
  HWND tree_;
  DWORD pid_;
};

}  // namespace velmo::e2e
