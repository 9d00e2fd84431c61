#include "commands/preflight.h"

#include <windows.h>

#include <utility>

#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/number_text.h"
#include "support/path_text.h"
#include "support/search_process.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

// The account the tool runs as.
constexpr wchar_t kOtherAccountStart[] = L"本工具正在以另一个用户账户";
constexpr wchar_t kOtherAccountEnd[] =
    L"运行，而不是当前桌面的用户。这样复制和记录的将是那个账户的配置文件和文件夹，"
    L"当前用户的Velmo浏览器无法使用，所以这次没有做任何改动。\r\n"
    L"请由当前桌面的用户直接运行本工具（不要在系统提示中输入其他账户的密码）。";
constexpr wchar_t kUnknownAccountStart[] = L"无法确定本工具运行所用的用户账户";
constexpr wchar_t kUnknownAccountEnd[] =
    L"是否就是当前桌面的用户：既找不到可以询问的桌面程序，也读不出当前会话的用户。"
    L"为避免改动其他账户的配置文件和文件夹，这次没有做任何改动。\r\n"
    L"请由当前桌面的用户直接运行本工具（不要在系统提示中输入其他账户的密码）。";

// The installation folder's write check.
constexpr wchar_t kAccessDeniedAdvice[] =
    L"\r\n\r\n当前用户不能在Velmo浏览器的安装目录中写入文件（例如安装在“Program Files”文件夹下，"
    L"或者U盘开启了写保护）。绿色版的配置文件必须存放在当前用户可以写入的文件夹中，"
    L"Velmo浏览器才能保存书签、Cookie和设置。请把Velmo浏览器所在的整个文件夹复制到可以写入的位置"
    L"（例如其他磁盘或U盘），再运行复制过去的本工具。";

constexpr wchar_t kCreateFolderOperation[] = L"创建配置文件夹";
constexpr unsigned kMaxProbeAttempts = 100;

// What a folder made beside another and removed again showed.
struct ProbeResult {
  DWORD creationError = ERROR_SUCCESS;  // why the folder could not be created
  bool unelevatedDenied = false;        // made, but the linked token may not create entries in it

  // The installation folder refuses new entries to this user, or to the browser's rights.
  bool WriteProtected() const {
    return creationError == ERROR_ACCESS_DENIED || creationError == ERROR_WRITE_PROTECT ||
           unelevatedDenied;
  }
};

// Whether the linked token may create entries in `probe`, a folder just made, and change a file
// made in it. The file is deleted when its handle closes, even if the tool ends first, so that
// an interrupted run leaves only an empty folder. Throws PlatformError when the answer cannot be
// had.
bool UnelevatedCanWriteIn(const std::wstring& probe) {
  const std::wstring file = probe + L"\\probe";
  const UniqueFileHandle made(CreateFileW(file.c_str(), READ_CONTROL | DELETE, 0, nullptr,
                                          CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!made) ThrowLastError(kCheckUnelevatedWriteOperation, file);
  return LinkedTokenCanWriteIn(probe, made.Get());
}

// Creates a folder beside `folder` and removes it again. With `askUnelevated`, the linked token
// is asked about the folder just made and a file in it, whose security (owner and inherited
// entries) is what an elevated Set gives everything it creates. Throws PlatformError when the
// token's answer cannot be had.
ProbeResult TryFolderBeside(const std::wstring& folder, bool askUnelevated) {
  const std::wstring stem =
      folder + std::wstring(kWriteCheckTag) + DecimalText(GetCurrentProcessId()) + L"-";
  for (unsigned attempt = 1; attempt <= kMaxProbeAttempts; ++attempt) {
    const std::wstring probe = stem + DecimalText(attempt);
    if (CreateDirectoryW(probe.c_str(), nullptr)) {
      const ScopeGuard removeProbe([&] { RemoveDirectoryW(probe.c_str()); });
      return {ERROR_SUCCESS, askUnelevated && !UnelevatedCanWriteIn(probe)};
    }
    const DWORD error = GetLastError();
    // A name left behind by an earlier run proves nothing: try the next one.
    if (error != ERROR_ALREADY_EXISTS) return {error};
  }
  return {ERROR_ALREADY_EXISTS};
}

// With the tool run as administrator by the desktop's user: throws PlatformError (access denied,
// naming `installDir`) when the user's unelevated rights would not allow new entries in a folder
// the tool creates there, or changes to a file it makes in that folder, and a PlatformError saying
// so when those rights cannot be asked. A folder that cannot be made at all is the write's own to
// report.
void CheckDesktopUserCanWrite(const std::wstring& installDir, const RightsDecision& rights) {
  if (rights.checkWriteUnelevated &&
      TryFolderBeside(browser::SettingFolder(installDir), true).unelevatedDenied) {
    ThrowError(kCreateFolderOperation, installDir, ERROR_ACCESS_DENIED);
  }
}

// The command's other first checks, the copy's room and the path file.
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

bool RunsAsDesktopUser(Ui& ui, const RightsDecision& rights,
                       const std::function<std::wstring()>& account) {
  if (rights.account == DesktopAccount::kDesktopUser) return true;
  const std::wstring name = account();
  const std::wstring named = name.empty() ? std::wstring() : L"（" + name + L"）";
  if (rights.account == DesktopAccount::kOtherAccount) {
    ui.Inform(kOtherAccountStart + named + kOtherAccountEnd, BoxTitle::kTool);
  } else {
    ui.Inform(kUnknownAccountStart + named + kUnknownAccountEnd, BoxTitle::kTool);
  }
  return false;
}

bool IsAccessDenied(const PlatformError& error) {
  if (error.IsHresult()) {
    return error.Code() == static_cast<std::uint32_t>(E_ACCESSDENIED) ||
           error.Code() == static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_WRITE_PROTECT));
  }
  return error.Code() == ERROR_ACCESS_DENIED || error.Code() == ERROR_WRITE_PROTECT;
}

bool InstallFolderIsWriteProtected(const std::wstring& installDir, const RightsDecision& rights) {
  ProbeResult result;
  // Asked only to choose the box's words: a token that cannot answer leaves the plain error box.
  return SkipIfFails([&] {
           result =
               TryFolderBeside(browser::SettingFolder(installDir), rights.checkWriteUnelevated);
         }) &&
         result.WriteProtected();
}

void ReportInstallFolderWriteFailure(Ui& ui, const PlatformError& error,
                                     const std::wstring& installDir,
                                     const RightsDecision& rights) {
  ui.Fail(InstallFolderWriteFailureText(error, installDir, rights), BoxTitle::kTool);
}

std::wstring InstallFolderWriteFailureText(const PlatformError& error,
                                           const std::wstring& installDir,
                                           const RightsDecision& rights) {
  if (!IsAccessDenied(error) || !InstallFolderIsWriteProtected(installDir, rights)) {
    return error.Describe();
  }
  return error.Describe() + kAccessDeniedAdvice;
}

void ShowWriteProtectionAdvice(Ui& ui, const PlatformError& error) {
  ui.Fail(error.Describe() + kAccessDeniedAdvice, BoxTitle::kTool);
}

bool InstallFolderTakesTheSetOrReport(Ui& ui, const std::wstring& installDir,
                                      const RightsDecision& rights,
                                      std::optional<std::string>& pathFileBefore) {
  const std::wstring setting = browser::SettingFolder(installDir);
  std::optional<ProbeResult> probe;
  try {
    probe = TryFolderBeside(setting, rights.checkWriteUnelevated);
    if (probe->unelevatedDenied) {
      ThrowError(kCreateFolderOperation, installDir, ERROR_ACCESS_DENIED);
    }
    CheckPathFileReplaceable(installDir);
    pathFileBefore = ReadPathFileBytes(installDir);
    if (probe->creationError != ERROR_SUCCESS) {
      ThrowError(kCreateFolderOperation, setting, probe->creationError);
    }
    return true;
  } catch (const PlatformError& error) {
    // The probe has just told whether the installation folder refuses new entries; a token
    // that could not answer leaves the plain error box.
    const bool advise = IsAccessDenied(error) && probe && probe->WriteProtected();
    ui.Fail(advise ? error.Describe() + kAccessDeniedAdvice : error.Describe(), BoxTitle::kTool);
    return false;
  }
}

void CheckFolderCanBeCreated(const std::wstring& folder) {
  const DWORD error = TryFolderBeside(folder, false).creationError;
  if (error != ERROR_SUCCESS) ThrowError(kCreateFolderOperation, folder, error);
}

std::optional<FolderLock> TakeInstallFolderLock(const std::wstring& installDir,
                                                ReplacementKind command) {
  return FolderLock::TryTake(installDir,
                             command == ReplacementKind::kSet ? kSetWork : kRestoreWork);
}

std::optional<CommandSession> BeginReplacement(const Context& context, Ui& ui,
                                               ReplacementKind command) {
  RightsDecision rights = context.rights();
  if (!RunsAsDesktopUser(ui, rights)) return std::nullopt;
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
    return std::nullopt;
  }
  return CommandSession{std::move(*lock), std::move(rights),
                        RetryBudget(kCommandRetryLimitMs, ui.RetryWaiter())};
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

bool WritePathFileOrReport(Ui& ui, const RightsDecision& rights, const std::wstring& installDir,
                           PathFileForm form, const std::wstring& cacheFolder) {
  try {
    CheckDesktopUserCanWrite(installDir, rights);
    RetryBudget step(kStepRetryLimitMs, ui.RetryWaiter());
    WritePathFile(installDir, PathFileLinesFor(installDir, form, cacheFolder), step);
    return true;
  } catch (const PlatformError& error) {
    ReportInstallFolderWriteFailure(ui, error, installDir, rights);
    return false;
  }
}

}  // namespace velmo
