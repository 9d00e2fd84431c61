#include "commands/command_steps.h"

#include <windows.h>

#include "commands/desktop_user.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/number_text.h"
#include "support/path_text.h"
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
// A path of the copy longer than the shell's copy takes. Paths are limited to MAX_PATH (260)
// characters with the terminating NUL; a folder's path must leave room for an 8.3 name (MAX_PATH
// minus 12) ("Naming Files, Paths, and Namespaces", Maximum Path Length Limitation).
constexpr std::size_t kLongestFilePath = MAX_PATH - 1;
constexpr std::size_t kLongestFolderPath = MAX_PATH - 12 - 1;
constexpr wchar_t kTooLongFile[] = L"\r\n复制后，以下文件的路径将有";
constexpr wchar_t kTooLongFolder[] = L"\r\n复制后，以下文件夹的路径将有";
constexpr wchar_t kTooLongMiddle[] = L"个字符，超过了Windows复制时允许的";
constexpr wchar_t kTooLongAfterLimit[] = L"个字符：\r\n";
constexpr wchar_t kNothingChanged[] = L"这次没有做任何改动。";
constexpr wchar_t kBrowserRunningText[] =
    L"检测到Velmo浏览器正在运行中，请关闭Velmo浏览器再继续操作。";
constexpr wchar_t kAnotherSetText[] =
    L"本工具的另一个窗口正在设置Velmo浏览器配置文件，请等它完成后再试。";
constexpr wchar_t kAnotherRestoreText[] =
    L"本工具的另一个窗口正在将Velmo浏览器恢复为安装版，请等它完成后再试。";
// What the installation folder's lock is held for.
constexpr wchar_t kSetWork[] = L"Set";
constexpr wchar_t kRestoreWork[] = L"Restore";
constexpr wchar_t kForeignCacheStart[] = L"无法使用以下缓存文件夹：\r\n";
constexpr wchar_t kForeignCacheEnd[] =
    L"\r\n它的路径中含有其他语言的文字，Velmo浏览器无法使用这样的缓存文件夹。"
    L"请将环境变量TEMP指向一个路径中不含其他语言文字的文件夹后再试。";
constexpr wchar_t kMissingCacheParentStart[] = L"\r\n它所在的文件夹不存在：\r\n";
constexpr wchar_t kMissingCacheParentEnd[] =
    L"\r\n而且它的路径中含有其他语言的文字，Velmo浏览器无法使用这样的缓存文件夹。"
    L"请将环境变量TEMP指向一个存在的、路径中不含其他语言文字的文件夹后再试。";

}  // namespace

std::optional<FolderLock> TakeInstallFolderLock(const std::wstring& installDir,
                                                TransactionKind command) {
  return FolderLock::TryTake(installDir,
                             command == TransactionKind::kSet ? kSetWork : kRestoreWork);
}

std::optional<FolderLock> BeginConfigurationChange(const Context& context, Ui& ui,
                                                   TransactionKind command) {
  if (!RunsAsDesktopUser(ui)) return std::nullopt;
  if (IsProcessRunning(browser::kExecutableName)) {
    ui.Inform(kBrowserRunningText);
    return std::nullopt;
  }
  // Held to the end: another instance of the tool takes the names beside Setting for this
  // command's own work and leaves them alone.
  std::optional<FolderLock> lock = TakeInstallFolderLock(context.installDir, command);
  if (!lock) {
    ui.Inform(FolderLock::HeldFor(context.installDir, kRestoreWork) ? kAnotherRestoreText
                                                                    : kAnotherSetText);
  }
  return lock;
}

bool CopyFitsOrReport(Ui& ui, const CopyFitWords& words, const std::wstring& source,
                      const std::array<std::wstring, 3>& excluded, const std::wstring& copyFolder) {
  const std::wstring volumeFolder = ParentFolder(copyFolder);
  const CopyMeasure measure = MeasureCopy(source, excluded, ClusterBytes(volumeFolder));
  const auto below = [&](const std::wstring& relative) {
    return relative.empty() ? copyFolder : copyFolder + L"\\" + relative;
  };
  const std::wstring file = below(measure.longestFile);
  const std::wstring folder = below(measure.longestFolder);
  // The one further past its limit is named.
  const bool fileTooLong = !measure.longestFile.empty() && file.size() > kLongestFilePath;
  const bool folderTooLong = folder.size() > kLongestFolderPath;
  if (fileTooLong || folderTooLong) {
    const bool named = fileTooLong && (!folderTooLong || file.size() - kLongestFilePath >=
                                                             folder.size() - kLongestFolderPath);
    const std::wstring& path = named ? file : folder;
    const std::size_t limit = named ? kLongestFilePath : kLongestFolderPath;
    ui.Fail(words.tooLongLead + std::wstring(named ? kTooLongFile : kTooLongFolder) +
                DecimalText(static_cast<std::uint32_t>(path.size())) + kTooLongMiddle +
                DecimalText(static_cast<std::uint32_t>(limit)) + kTooLongAfterLimit + path +
                L"\r\n" + words.tooLongAdvice + kNothingChanged,
            BoxTitle::kTool);
    return false;
  }
  const std::optional<std::uint64_t> free = FreeBytesForUser(volumeFolder);
  if (!free || measure.bytes <= *free) return true;
  ui.Fail(words.noRoomLead + std::wstring(kNoRoomStart) + ByteSizeText(measure.bytes) +
              kNoRoomMiddle + ByteSizeText(*free) + kNoRoomEnd,
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
  if (line) return line;
  // The short name is missing because the folder that should hold the cache folder is missing:
  // that is what the user must fix first.
  const std::wstring parent = ParentFolder(cacheFolder);
  if (!parent.empty() && !FolderExists(parent)) {
    ui.Fail(kForeignCacheStart + cacheFolder + kMissingCacheParentStart + parent +
                kMissingCacheParentEnd,
            BoxTitle::kTool);
  } else {
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
