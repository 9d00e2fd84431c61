// The last box of a replacement: success, or the failure followed by where the old configuration
// and the path file are, in the words the command gives and the ones Set and the restore share.
#include "commands/replacement_report.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"

namespace velmo {
namespace {

std::wstring NameTaken(const std::wstring& entry) { return L"taken " + entry; }

TEST(ReplacementReport, SaysWhatFailedAndWhereTheOldConfigurationAndThePathFileAre) {
  constexpr ReplacementWords kWords = {L"copy failed ", L"cancelled\r\n", L"held ", &NameTaken,
                                       L"all as before", L"old as before", L"old now at "};
  struct Row {
    SetOutcome outcome;
    bool oldBack, pathFileUnchanged;
    std::wstring text;
    unsigned style;
  };
  const Row rows[] = {
      {SetOutcome::kDone, true, true, L"done", 0x40},
      {SetOutcome::kOldLeftBehind, true, true,
       L"done\r\n旧的配置文件未能完全删除，残留在：\r\nX:\\e\r\n"
       L"请关闭正在使用它的程序，重新打开本工具时会自动删除它。",
       0x40},
      {SetOutcome::kCopyCancelled, true, true, L"cancelled\r\nall as before", 0x10},
      {SetOutcome::kCopyCancelled, false, true, L"cancelled\r\nold now at X:\\o\r\n路径文件保持原样。",
       0x10},
      {SetOutcome::kInUse, true, false,
       L"held X:\\e\r\n请关闭Velmo浏览器及其他正在使用该文件的程序后再试。\r\nold as before"
       L"无法确认路径文件是否保持原样：\r\nX:\\i\\path",
       0x10},
      {SetOutcome::kNotPlaced, true, true,
       L"无法在以下位置存放配置文件：\r\nX:\\e\r\n该位置已被占用且无法替换。\r\nall as before", 0x10},
      {SetOutcome::kNameTaken, true, true, L"taken X:\\e", 0x10},
  };
  for (const Row& row : rows) {
    SetResult result;
    result.outcome = row.outcome;
    result.path = L"X:\\e";
    result.oldConfigurationBack = row.oldBack;
    result.pathFileUnchanged = row.pathFileUnchanged;
    if (!row.oldBack) result.oldConfiguration = L"X:\\o";
    testing::ScriptedUi ui;
    ReportReplacementResult(ui, L"X:\\i", result, L"done", kWords);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, row.text);
    EXPECT_EQ(ui.boxes[0].style, row.style);
  }
}

}  // namespace
}  // namespace velmo
