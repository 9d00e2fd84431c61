#include "support/scripted_ui.h"

#include <gtest/gtest.h>

#include "support/text_codec.h"
#include "window/message_box_form.h"

namespace velmo::testing {

Answer ScriptedUi::ShowBox(BoxKind kind, const std::wstring& text, BoxTitle title) {
  // Recorded in the window's own form, so that tests state the exact style and title.
  const MessageBoxForm form = MessageBoxFormFor(kind, title);
  boxes.push_back({text, form.style, form.title});
  if (kind != BoxKind::kQuestion) return Answer::kNone;
  if (answers.empty()) {
    ADD_FAILURE() << "unscripted question: " << ToUtf8(text);
    return Answer::kNo;
  }
  const Answer answer = answers.front();
  answers.pop_front();
  return answer;
}

std::wstring ScriptedUi::ShowFolderDialog() {
  ++folderDialogCalls;
  return folderDialog();
}

}  // namespace velmo::testing
