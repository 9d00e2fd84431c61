// What a command may ask of the window. MainWindow answers with the real Win32 calls; tests answer
// from a script and record every message box.
#pragma once
#include <string>

namespace velmo {

// Message box styles and answers the tool uses (the platform's MB_* and ID* values).
inline constexpr unsigned kMbOk = 0x00;
inline constexpr unsigned kMbYesNo = 0x04;
inline constexpr unsigned kMbIconError = 0x10;
inline constexpr unsigned kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// Title of the window, and of every message box that is given no title of its own.
inline constexpr wchar_t kToolTitle[] = L"Velmo浏览器绿化工具";
// Title most of the commands' boxes carry.
inline constexpr wchar_t kFriendlyTitle[] = L"友情提示";

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box owned by the window. An empty title means "no title given": the box
  // then carries the tool title. Returns the button pressed (kIdOk, kIdYes, kIdNo, ...).
  virtual int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) = 0;

  // Ends the process at once: no further handler runs and nothing is cleaned up.
  [[noreturn]] virtual void EndNow() = 0;

  virtual std::wstring CacheFolderText() const = 0;
  virtual void SetCacheFolderText(const std::wstring& text) = 0;

  // The platform's folder browser: the chosen folder's path, or the empty text on cancel.
  virtual std::wstring ShowFolderDialog() = 0;

  // Shows the folders recorded in the path file, as it is on disk now, in the information panel.
  virtual void ShowPathFileLines() = 0;
};

}  // namespace velmo
