// What each box a command asks for looks like on screen: MessageBoxW's buttons, icon and title,
// written out here as numbers and texts, and the answer each pressed button stands for.
#include "window/message_box_form.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "support/scripted_ui.h"

namespace velmo {
namespace {

TEST(MessageBoxForm, EachUiCallHasItsStyleAndTitle) {
  constexpr wchar_t kTool[] = L"Velmo浏览器绿化工具";
  constexpr wchar_t kFriendly[] = L"友情提示";
  struct Row {
    const char* call;
    std::function<void(Ui&)> show;
    unsigned style;  // buttons | icon
    const wchar_t* title;
  };
  const Row rows[] = {
      {"Inform", [](Ui& ui) { ui.Inform(L"x"); }, 0x00 | 0x40, kFriendly},
      {"Inform, tool", [](Ui& ui) { ui.Inform(L"x", BoxTitle::kTool); }, 0x00 | 0x40, kTool},
      {"Fail", [](Ui& ui) { ui.Fail(L"x"); }, 0x00 | 0x10, kFriendly},
      {"Fail, tool", [](Ui& ui) { ui.Fail(L"x", BoxTitle::kTool); }, 0x00 | 0x10, kTool},
      {"Fail, hint", [](Ui& ui) { ui.Fail(L"x", BoxTitle::kHint); }, 0x00 | 0x10, L"提示"},
      {"Fail, error", [](Ui& ui) { ui.Fail(PlatformError(L"op", L"C:\\x", 5)); }, 0x00 | 0x10,
       kTool},
      {"Ask", [](Ui& ui) { (void)ui.Ask(L"x"); }, 0x04 | 0x40, kFriendly},
      {"Say", [](Ui& ui) { ui.Say(L"x"); }, 0x00, kTool},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.call);
    testing::ScriptedUi ui;
    ui.answers = {Answer::kYes};
    row.show(ui);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].style, row.style);
    EXPECT_EQ(ui.boxes[0].title, row.title);
  }
}

TEST(MessageBoxForm, OnlyYesAndNoAreAnswers) {
  // IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7; 0 when the box went with its window.
  const std::pair<int, Answer> rows[] = {{6, Answer::kYes}, {7, Answer::kNo},
                                         {0, Answer::kNone}, {1, Answer::kNone},
                                         {2, Answer::kNone}};
  for (const auto& [pressed, answer] : rows) EXPECT_EQ(AnswerFor(pressed), answer) << pressed;
}

}  // namespace
}  // namespace velmo
