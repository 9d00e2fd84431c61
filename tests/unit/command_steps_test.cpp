#include "commands/command_steps.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>

#include "support/scripted_ui.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

using testing::MakeContext;
using testing::ScriptedUi;
using testing::TempDir;

// Another window at work: a thread that holds the installation folder's lock for a command.
struct OtherWindow {
  std::wstring folder;
  TransactionKind command;
  UniqueHandle taken{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};

  static DWORD WINAPI Run(void* self) {
    auto& window = *static_cast<OtherWindow*>(self);
    const std::optional<FolderLock> lock = TakeInstallFolderLock(window.folder, window.command);
    SetEvent(window.taken.Get());
    WaitForSingleObject(window.release.Get(), INFINITE);
    return 0;
  }
};

TEST(CommandSteps, ASecondWindowNamesTheCommandTheFirstOneRuns) {
  TempDir folder(L"velmo-busy");
  for (const auto& [running, text] :
       {std::pair{TransactionKind::kSet,
                  L"本工具的另一个窗口正在设置Velmo浏览器配置文件，请等它完成后再试。"},
        std::pair{TransactionKind::kRestore,
                  L"本工具的另一个窗口正在将Velmo浏览器恢复为安装版，请等它完成后再试。"}}) {
    OtherWindow other{folder.Path(), running};
    UniqueHandle thread(CreateThread(nullptr, 0, &OtherWindow::Run, &other, 0, nullptr));
    ASSERT_TRUE(thread);
    WaitForSingleObject(other.taken.Get(), INFINITE);
    for (const TransactionKind command : {TransactionKind::kSet, TransactionKind::kRestore}) {
      ScriptedUi ui;
      EXPECT_FALSE(BeginConfigurationChange(MakeContext(folder.Path(), {}), ui, command));
      ASSERT_EQ(ui.boxes.size(), 1u);
      EXPECT_EQ(ui.boxes[0].text, text) << ToUtf8(ui.boxes[0].text);
    }
    SetEvent(other.release.Get());
    WaitForSingleObject(thread.Get(), INFINITE);
  }
}

}  // namespace
}  // namespace velmo
