// The message boxes every command shows: an error the command cannot go on from, a failure in its
// own words, a piece of information and a Yes/No question. They include no other command, so that
// any command may show them.
#pragma once
#include <string>

#include "model/ui.h"
#include "support/platform_error.h"

namespace velmo {

// An error box for a failure the command cannot go on from: what failed, on which path and why,
// under the tool title.
void ReportError(Ui& ui, const PlatformError& error);

// An error box under the title "友情提示" for a failure the command explains in its own words.
void ShowFailure(Ui& ui, const std::wstring& text);

// An information box under the title "友情提示".
void Notify(Ui& ui, const std::wstring& text);

// The answer to a Yes/No question. A box destroyed with its window (the window closed while it
// was open) gives no answer, which is neither Yes nor No: the command then stops.
enum class Answer { kYes, kNo, kNone };

// A Yes/No question with the information icon under the title "友情提示".
Answer AskYesNo(Ui& ui, const std::wstring& text);

}  // namespace velmo
