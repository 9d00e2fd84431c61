// What a command may ask of the window, in the tool's own terms: tell the user something, say
// that something failed, ask a Yes/No question. MainWindow turns each box into the platform's
// message box; tests answer from a script and record every box.
#pragma once
#include <string>

#include "support/lock_retry.h"
#include "support/platform_error.h"

namespace velmo {

// Title of the window, and of the boxes that speak for the tool itself.
inline constexpr wchar_t kToolTitle[] = L"Velmo浏览器绿化工具";

// The title a box carries.
enum class BoxTitle {
  kFriendly,  // "友情提示": most of the commands' boxes
  kTool,      // the tool's own title: errors of the platform, refusals before anything changes
  kHint,      // "提示": a cache folder the browser could not use
};

// What a box is for, which gives it its icon and buttons.
enum class BoxKind {
  kInformation,  // news: the information icon and OK
  kFailure,      // something could not be done: the error icon and OK
  kQuestion,     // Yes and No, with the information icon
  kPlain,        // OK alone, no icon, under the tool title
};

// The answer to a question. A box destroyed with its window (the window closed while it was
// open) gives no answer, which is neither Yes nor No: the command then stops. Boxes with only OK
// answer kNone too.
enum class Answer { kYes, kNo, kNone };

// What the window does once a command has returned: take the next click, or end the tool (the
// user chose to stop the making of a portable browser).
enum class AfterCommand { kStayOpen, kEndTool };

class Ui {
 public:
  virtual ~Ui() = default;

  void Inform(const std::wstring& text, BoxTitle title = BoxTitle::kFriendly) {
    ShowBox(BoxKind::kInformation, text, title);
  }
  void Fail(const std::wstring& text, BoxTitle title = BoxTitle::kFriendly) {
    ShowBox(BoxKind::kFailure, text, title);
  }
  // A failure the command cannot go on from: what failed, on which path and why, under the tool
  // title.
  void Fail(const PlatformError& error) { Fail(error.Describe(), BoxTitle::kTool); }
  [[nodiscard]] Answer Ask(const std::wstring& text) {
    return ShowBox(BoxKind::kQuestion, text, BoxTitle::kFriendly);
  }
  void Say(const std::wstring& text) { ShowBox(BoxKind::kPlain, text, BoxTitle::kTool); }

  virtual std::wstring CacheFolderText() const = 0;
  virtual void SetCacheFolderText(const std::wstring& text) = 0;

  // The platform's folder browser: the chosen folder's path, or the empty text on cancel.
  virtual std::wstring ShowFolderDialog() = 0;

  // Shows the folders recorded in the path file, as it is on disk now, in the information panel.
  virtual void ShowPathFileLines() = 0;

  // Lets `ms` milliseconds pass on the window's thread while the window stays painted and answers
  // the system; no click or key is handled meanwhile, so no command starts inside another.
  virtual void Wait(DWORD ms) = 0;

  // Wait, as the retries of a command (its RetryBudget) spend their pauses.
  RetryWait RetryWaiter() {
    return [this](DWORD ms) { Wait(ms); };
  }

 protected:
  // A modal box owned by the window; returns the answer to a question, kNone for the others.
  virtual Answer ShowBox(BoxKind kind, const std::wstring& text, BoxTitle title) = 0;
};

}  // namespace velmo
