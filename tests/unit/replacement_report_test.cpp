// The last box of a replacement: success, or the failure followed by where the old configuration
// and the path file are, in the words the command gives and the ones Set and the restore share.
#include "commands/replacement_report.h"

#include <gtest/gtest.h>

#include "support/scripted_ui.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

std::wstring NameTaken(const std::wstring& entry) { return L"taken " + entry; }

TEST(ReplacementReport, SaysWhatFailedAndWhereTheOldConfigurationAndThePathFileAre) {
  constexpr ReplacementWords kWords = {L"copy failed ", L"cancelled\r\n", L"held ", &NameTaken,
                                       L"all as before", L"old as before", L"old now at ", false};
  struct Row {
    ReplacementOutcome outcome;
    bool oldBack, pathFileUnchanged;
    std::wstring text;
    unsigned style;
    std::wstring leftover = {};  // given: a first Set, nothing stood there before
  };
  const Row rows[] = {
      {ReplacementOutcome::kDone, true, true, L"done", 0x40},
      {ReplacementOutcome::kOldLeftBehind, true, true,
       L"done\r\n旧的配置文件未能完全删除，残留在：\r\nX:\\e\r\n"
       L"请关闭正在使用它的程序，重新打开本工具时会自动删除它。",
       0x40},
      {ReplacementOutcome::kCopyCancelled, true, true, L"cancelled\r\nall as before", 0x10},
      {ReplacementOutcome::kCopyCancelled, false, true, L"cancelled\r\nold now at X:\\o\r\n路径文件保持原样。",
       0x10},
      {ReplacementOutcome::kInUse, true, false,
       L"held X:\\e\r\n请关闭Velmo浏览器及其他正在使用该文件的程序后再试。\r\nold as before"
       L"无法确认路径文件是否保持原样：\r\nX:\\i\\path",
       0x10},
      {ReplacementOutcome::kNotPlaced, true, true,
       L"无法在以下位置存放配置文件：\r\nX:\\e\r\n该位置已被占用且无法替换。\r\nall as before", 0x10},
      {ReplacementOutcome::kNameTaken, true, true, L"taken X:\\e", 0x10},
      {ReplacementOutcome::kCopyCancelled, true, true,
       L"cancelled\r\n本工具留下的以下文件或文件夹暂时无法整理：\r\nX:\\t\r\n"
       L"请关闭可能正在使用它的程序，重新打开本工具时会自动整理它。",
       0x10, L"X:\\t"},
  };
  for (const Row& row : rows) {
    ReplacementResult result;
    result.outcome = row.outcome;
    result.path = L"X:\\e";
    result.oldConfigurationBack = row.oldBack;
    result.pathFileUnchanged = row.pathFileUnchanged;
    if (!row.oldBack) result.oldConfiguration = L"X:\\o";
    result.leftover = row.leftover;
    result.oldExisted = result.pathFileExisted = row.leftover.empty();
    testing::ScriptedUi ui;
    ReportReplacementResult(ui, L"X:\\i", result, L"done", kWords, RightsDecision{});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, row.text);
    EXPECT_EQ(ui.boxes[0].style, row.style);
  }
}

// The old entry could not be renamed aside: "in use" only for another program's hold, told by the
// code or by a held entry found in it; any other failure gives the system's reason.
TEST(ReplacementReport, ARenameOfTheOldEntryIsInUseOnlyForAHold) {
  const ReplacementWords words = {L"", L"", L"held ", &NameTaken, L"as before", L"", L"", false};
  const struct { std::uint32_t code; std::wstring holder, held; } rows[] = {  // held "": reason
      {32, L"", L"X:\\e"}, {33, L"", L"X:\\e"}, {32, L"X:\\f", L"X:\\f"}, {5, L"X:\\f", L"X:\\f"},
      {5, L"", L""},       {19, L"", L""},      {2, L"", L""}};
  for (const auto& row : rows) {
    ReplacementResult result;
    result.outcome = ReplacementOutcome::kNotMovedAside;
    result.path = L"X:\\e";
    result.code = row.code;
    result.holder = row.holder;
    testing::ScriptedUi ui;
    ReportReplacementResult(ui, L"X:\\i", result, L"done", words, RightsDecision{});
    const std::wstring& text = ui.boxes.at(0).text;
    EXPECT_EQ(ui.boxes[0].title, row.held.empty() ? L"Velmo浏览器绿化工具" : L"友情提示");
    EXPECT_TRUE(row.held.empty() ? text.starts_with(L"移开原有的配置文件失败。\r\n路径：X:\\e\r\n原因：") &&
                                       text.ends_with(L"\r\nas before")
                                 : text == L"held " + row.held +
                                               L"\r\n请关闭Velmo浏览器及其他正在使用该文件的程序后再试。\r\nas before")
        << row.code << " " << ToUtf8(text);
  }
}

}  // namespace
}  // namespace velmo
