#include "commands/moved_installation.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "support/file_queries.h"
#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::MakeDirs;
using testing::ReadBytes;
using testing::ScriptedUi;
using testing::TempDir;
using testing::WriteBytes;

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (std::size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// An installation folder beside a folder that exists and a name that does not, and a TEMP.
class MovedInstallationTest : public ::testing::Test {
 protected:
  void Use(const std::wstring& installHint) {
    install_ = std::make_unique<TempDir>(installHint);
    context_ = testing::MakeContext(install_->Path(), {{L"TEMP", temp_.Path()}});
  }
  void SetUp() override { Use(L"velmo-moved"); }

  std::wstring Dir() const { return install_->Path(); }
  std::wstring Setting() const { return Dir() + L"\\Setting"; }
  std::wstring PathFile() const { return Dir() + L"\\path"; }
  std::wstring Gone() const { return elsewhere_ / L"moved-away"; }
  std::wstring DefaultCache() const { return temp_ / L"WebkitCache"; }
  // {dir}, {DIR} (in capitals), {gone} and {here} (an existing folder) in a row's text.
  std::wstring Expand(const std::wstring& text) const {
    return Replaced(Replaced(Replaced(Replaced(text, L"{dir}", Dir()), L"{DIR}", Upper(Dir())),
                             L"{gone}", Gone()),
                    L"{here}", elsewhere_.Path());
  }

  TempDir temp_{L"velmo-temp"};
  TempDir elsewhere_{L"velmo-elsewhere"};
  std::unique_ptr<TempDir> install_;
  Context context_;
};

TEST_F(MovedInstallationTest, AsksOnlyWhenTheRecordedFolderIsGoneAndSettingIsHere) {
  struct Case {
    const char* name;
    const wchar_t* line1;
    bool settingHere;
    bool moved;
  };
  const Case cases[] = {
      {"moved to another folder", L"{gone}\\Setting", true, true},
      {"recorded with a trailing separator", L"{gone}\\Setting\\", true, true},
      {"recorded with forward slashes", L"{gone}/Setting", true, true},
      {"recorded folder not named Setting", L"{gone}\\Profile", true, true},
      {"same folder in other case", L"{DIR}\\SETTING", true, false},
      {"same folder with trailing separators", L"{dir}\\Setting\\\\", true, false},
      {"relative form", L"Setting", true, false},
      {"relative path below the folder", L"sub\\Setting", true, false},
      {"path from the drive's root", L"\\moved-away\\Setting", true, false},
      {"drive-relative path", L"Q:moved-away\\Setting", true, false},
      {"empty line 1", L"", true, false},
      {"recorded folder still exists", L"{here}", true, false},
      {"no Setting folder here", L"{gone}\\Setting", false, false},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    testing::RemoveTree(Setting());
    if (row.settingHere) MakeDirs(Setting());
    const std::wstring line1 = Expand(row.line1);
    WriteBytes(PathFile(), ToAnsi(line1 + L"\r\n\r\n"));

    const std::optional<MovedInstallation> moved = FindMovedInstallation(context_);
    ASSERT_EQ(moved.has_value(), row.moved);
    if (!moved) continue;
    EXPECT_EQ(moved->recordedSetting, line1);
    EXPECT_EQ(moved->currentSetting, Setting());
    EXPECT_EQ(moved->cacheFolder, DefaultCache());  // line 2 was empty
  }
}

TEST_F(MovedInstallationTest, MissingFolderOrUnreadablePathFileNeverAsks) {
  MakeDirs(Setting());
  EXPECT_FALSE(FindMovedInstallation(context_).has_value()) << "no path file";

  MakeDirs(PathFile());
  EXPECT_FALSE(FindMovedInstallation(context_).has_value()) << "a folder named path";
  testing::RemoveTree(PathFile());

  WriteBytes(PathFile(), ToAnsi(Gone() + L"\\Setting\r\n"));
  ASSERT_TRUE(FindMovedInstallation(context_).has_value());
  // Held open by another program without sharing: it cannot be read.
  const UniqueFileHandle held(CreateFileW(PathFile().c_str(), GENERIC_READ, 0, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held.Valid());
  EXPECT_FALSE(FindMovedInstallation(context_).has_value()) << "an unreadable path file";
}

TEST_F(MovedInstallationTest, CacheFolderFollowsTheFolderOrFallsBackToTheDefault) {
  struct Case {
    const char* name;
    const wchar_t* recordedSetting;
    const wchar_t* recordedCache;
    const wchar_t* installDir;
    const wchar_t* expected;  // {default}: the default cache folder
  };
  const Case cases[] = {
      {"recorded cache still exists", L"Q:\\old\\Setting", L"{here}", L"R:\\new", L"{here}"},
      {"inside the old folder", L"Q:\\old\\Setting", L"Q:\\old\\cache\\webkit", L"R:\\new",
       L"R:\\new\\cache\\webkit"},
      {"other case, trailing separators", L"q:\\OLD\\setting\\", L"Q:\\old\\Cache\\",
       L"R:\\new", L"R:\\new\\Cache"},
      {"the old folder itself", L"Q:\\old\\Setting", L"Q:\\old", L"R:\\new", L"R:\\new"},
      {"only a name that starts alike", L"Q:\\old\\Setting", L"Q:\\older\\cache", L"R:\\new",
       L"{default}"},
      {"outside the old folder", L"Q:\\old\\Setting", L"Q:\\Temp\\WebkitCache", L"R:\\new",
       L"{default}"},
      {"old folder at a drive's root", L"Q:\\\\Setting", L"Q:\\cache", L"R:\\new",
       L"R:\\new\\cache"},
      {"new folder at a drive's root", L"Q:\\old\\Setting", L"Q:\\old\\cache", L"R:\\",
       L"R:\\cache"},
      {"recorded folder not named Setting", L"Q:\\old\\Profile", L"Q:\\old\\cache", L"R:\\new",
       L"{default}"},
      {"empty line 2", L"Q:\\old\\Setting", L"", L"R:\\new", L"{default}"},
      {"new place the code page cannot spell", L"Q:\\old\\Setting", L"Q:\\old\\cache",
       L"R:\\new-\u0151", L"{default}"},
      {"Chinese new place", L"Q:\\old\\Setting", L"Q:\\old\\cache", L"R:\\绿色版",
       L"R:\\绿色版\\cache"},
  };
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CacheFolderAfterMove(row.recordedSetting, Expand(row.recordedCache),
                                   row.installDir, DefaultCache()),
              Replaced(Expand(row.expected), L"{default}", DefaultCache()));
  }
}

// --- The question and the rewrite through the scripted window ---------------------------------

using Box = std::tuple<std::wstring, unsigned, std::wstring>;

std::vector<Box> Shown(const ScriptedUi& ui) {
  std::vector<Box> shown;
  for (const testing::RecordedBox& box : ui.boxes) shown.emplace_back(box.text, box.style, box.title);
  return shown;
}

Box QuestionBox(const std::wstring& recorded, const std::wstring& current) {
  return {L"检测到绿色版文件夹已被移动或复制到新的位置。\r\n路径文件中记录的配置文件夹已不存在：\r\n" +
              recorded + L"\r\n当前目录下的配置文件夹：\r\n" + current +
              L"\r\n是否让Velmo浏览器改用当前目录下的配置文件？",
          0x44, L"友情提示"};
}

Box DoneBox(const std::wstring& current) {
  return {L"已将Velmo浏览器的配置文件夹改为：\r\n" + current + L"\r\n启动Velmo浏览器后生效。",
          0x40, L"友情提示"};
}

TEST_F(MovedInstallationTest, YesRewritesThePathFileAsSetWouldAndRefreshesThePanel) {
  for (const wchar_t* hint : {L"velmo-moved", L"绿色 版"}) {
    SCOPED_TRACE(ToUtf8(hint));
    Use(hint);
    MakeDirs(Setting());
    MakeDirs(Dir() + L"\\cache");
    const std::wstring recorded = Gone() + L"\\Setting";
    // The cache lay in the old folder: it is looked for in the same place here.
    WriteBytes(PathFile(), ToAnsi(recorded + L"\r\n" + Gone() + L"\\cache\r\n" + recorded +
                                  L"\\Cookies\r\n"));
    ScriptedUi ui;
    ui.answers = {Answer::kYes};

    OfferMovedInstallationRepair(context_, ui);

    // A Chinese path gets the relative form without the double-byte question.
    const std::string expected =
        ConChinese(Dir()) ? ToAnsi(L"Setting\r\n" + Dir() + L"\\cache\r\n")
                          : ToAnsi(Setting() + L"\r\n" + Dir() + L"\\cache\r\n" + Setting() +
                                   L"\\Cookies\r\n");
    EXPECT_EQ(ReadBytes(PathFile()), expected);
    EXPECT_EQ(ui.pathFileLinesShown, 1);
    EXPECT_EQ(Shown(ui), (std::vector<Box>{QuestionBox(recorded, Setting()), DoneBox(Setting())}));
  }
}

TEST_F(MovedInstallationTest, QuestionCutAtTheNulAndNoLineTwoTheBrowserCannotUse) {
  MakeDirs(Setting());
  const std::wstring missingTemp = temp_ / L"\uC5C6\uC74C\\Temp";
  const std::string pathFile = ToAnsi(Gone() + L"\\Setting") + std::string("\0tail\r\n", 7);
  WriteBytes(PathFile(), pathFile);
  ScriptedUi ui;
  ui.answers = {Answer::kYes};
  OfferMovedInstallationRepair(testing::MakeContext(Dir(), {{L"TEMP", missingTemp}}), ui);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(Shown(ui)[0], QuestionBox(Gone() + L"\\Setting", Setting()));
  EXPECT_TRUE(ui.boxes[1].text.starts_with(L"无法使用以下缓存文件夹：\r\n" + missingTemp));
  EXPECT_EQ(ReadBytes(PathFile()), pathFile);
}

TEST_F(MovedInstallationTest, NoChangesNothingAndANotMovedFolderAsksNothing) {
  MakeDirs(Setting());
  const std::string moved = ToAnsi(Gone() + L"\\Setting\r\nC:\\cache\r\n");
  const std::string here = ToAnsi(Setting() + L"\r\nC:\\cache\r\n");
  struct Case {
    const char* name;
    std::string pathFile;
    std::vector<Answer> answers;
    std::size_t boxes;
  };
  const Case cases[] = {{"answered No", moved, {Answer::kNo}, 1},
                        {"box closed", moved, {Answer::kNone}, 1},
                        {"not moved", here, {}, 0}};
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    WriteBytes(PathFile(), row.pathFile);
    ScriptedUi ui;
    ui.answers.assign(row.answers.begin(), row.answers.end());
    OfferMovedInstallationRepair(context_, ui);
    EXPECT_EQ(ReadBytes(PathFile()), row.pathFile);
    EXPECT_EQ(ui.boxes.size(), row.boxes);
    EXPECT_EQ(ui.pathFileLinesShown, 0);
  }
}

}  // namespace
}  // namespace velmo
