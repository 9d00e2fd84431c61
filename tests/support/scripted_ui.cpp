#include "support/scripted_ui.h"

#include <gtest/gtest.h>

#include "support/text_codec.h"

namespace velmo::testing {

int ScriptedUi::MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) {
  boxes.push_back({text, style, title});
  if ((style & 0x0F) == kMbOk) return kIdOk;
  if (answers.empty()) {
    ADD_FAILURE() << "unscripted question: " << ToUtf8(text);
    return kIdNo;
  }
  const int answer = answers.front();
  answers.pop_front();
  return answer;
}

void ScriptedUi::EndNow() {
  endNowCalled = true;
  throw EndNowCalled();
}

std::wstring ScriptedUi::ShowFolderDialog() {
  ++folderDialogCalls;
  return folderDialog();
}

}  // namespace velmo::testing
