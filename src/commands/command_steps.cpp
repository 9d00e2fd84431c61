#include "commands/command_steps.h"

#include "commands/desktop_user.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "support/disk_space.h"
#include "support/file_queries.h"
#include "support/number_text.h"
#include "support/search_process.h"

namespace velmo {
namespace {

constexpr wchar_t kQuestionStart[] = L"检测到当前绿色版存放的路径：“";
constexpr wchar_t kQuestionAfterPath[] =
    L"”。存在中文字符，请将绿色版复制到非中文的路径再开始制作。\r\n"
    L"是否需要停止当前绿色版的制作？如果选择“是”则停止制作，如果选择“否”则强制在当前目录下制作"
    L"绿色版，这样制作的绿色版将无法使用部分浏览器插件";

constexpr wchar_t kNoRoomStart[] = L"\r\n需要复制的配置文件：";
constexpr wchar_t kNoRoomMiddle[] = L"\r\n磁盘可用空间：";
constexpr wchar_t kNoRoomEnd[] = L"\r\n请先腾出足够的空间后再试。这次没有做任何改动。";
constexpr wchar_t kBrowserRunningText[] =
    L"检测到Velmo浏览器正在运行中，请关闭Velmo浏览器再继续操作。";
constexpr wchar_t kAnotherSetText[] =
    L"本工具的另一个窗口正在设置Velmo浏览器配置文件，请等它完成后再试。";
constexpr wchar_t kForeignCacheStart[] = L"无法使用以下缓存文件夹：\r\n";
constexpr wchar_t kForeignCacheEnd[] =
    L"\r\n它的路径中含有其他语言的文字，Velmo浏览器无法使用这样的缓存文件夹。"
    L"请将环境变量TEMP指向一个路径中不含其他语言文字的文件夹后再试。";

}  // namespace

std::optional<FolderLock> BeginConfigurationChange(const Context& context, Ui& ui) {
  if (!RunsAsDesktopUser(ui)) return std::nullopt;
  if (IsProcessRunning(browser::kExecutableName)) {
    ui.Inform(kBrowserRunningText);
    return std::nullopt;
  }
  // Held to the end: another instance of the tool takes the names beside Setting for this
  // command's own work and leaves them alone.
  std::optional<FolderLock> lock = FolderLock::TryTake(context.installDir);
  if (!lock) ui.Inform(kAnotherSetText);
  return lock;
}

bool RoomForCopyOrReport(Ui& ui, const std::wstring& lead, const std::wstring& source,
                         const std::array<std::wstring, 3>& excluded,
                         const std::wstring& destinationFolder) {
  const std::optional<std::uint64_t> free = FreeBytesForUser(destinationFolder);
  if (!free) return true;
  const std::uint64_t needed = FolderBytes(source, excluded);
  if (needed <= *free) return true;
  ui.Fail(lead + kNoRoomStart + ByteSizeText(needed) + kNoRoomMiddle + ByteSizeText(*free) +
              kNoRoomEnd,
          BoxTitle::kTool);
  return false;
}

std::wstring DoubleBytePathQuestion(const std::wstring& settingFolder) {
  return kQuestionStart + settingFolder + kQuestionAfterPath;
}

PathFileChoice ChoosePathFileForm(Ui& ui, const std::wstring& settingFolder) {
  if (!NeedsRelativeForm(settingFolder)) return {PathFileForm::kAbsolute};
  switch (ui.Ask(DoubleBytePathQuestion(settingFolder))) {
    case Answer::kYes: return {std::nullopt, AfterCommand::kEndTool};
    case Answer::kNo: return {PathFileForm::kRelative};
    case Answer::kNone: break;
  }
  return {};
}

std::optional<std::wstring> CacheFolderLineOrReport(Ui& ui, const std::wstring& cacheFolder) {
  std::optional<std::wstring> line = CacheFolderLine(cacheFolder);
  if (!line) {
    ui.Fail(kForeignCacheStart + cacheFolder + kForeignCacheEnd, BoxTitle::kTool);
  }
  return line;
}

bool WritePathFileOrReport(Ui& ui, const std::wstring& installDir, PathFileForm form,
                           const std::wstring& cacheFolder) {
  try {
    CheckDesktopUserCanWrite(installDir);
    RetryBudget step(kStepRetryLimitMs, ui.RetryWaiter());
    WritePathFile(installDir, PathFileLinesFor(installDir, form, cacheFolder), step);
    return true;
  } catch (const PlatformError& error) {
    ReportInstallFolderWriteFailure(ui, error, installDir);
    return false;
  }
}

}  // namespace velmo
