#include "commands/replacement_report.h"

#include <windows.h>

#include "commands/preflight.h"
#include "model/browser_layout.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

// Paths too long for the copy are refused before it begins.
constexpr wchar_t kCopyFailedEnd[] =
    L"\r\n配置文件没有全部复制成功，可能有文件正在被其他程序使用，或者磁盘空间不足。请检查后再试。\r\n";
constexpr wchar_t kNotCopiedStart[] = L"\r\n以下文件或文件夹没有复制成功：\r\n";
constexpr wchar_t kNotCopiedEnd[] =
    L"\r\n可能它正在被其他程序使用，或者磁盘空间不足。请检查后再试。\r\n";
// Nothing stood at the target nor at the path file before, and nothing is left there.
constexpr wchar_t kNothingLeft[] = L"没有留下任何新的文件或文件夹。";
constexpr wchar_t kInUseEnd[] = L"\r\n请关闭Velmo浏览器及其他正在使用该文件的程序后再试。\r\n";
constexpr wchar_t kNotPlacedStart[] = L"无法在以下位置存放配置文件：\r\n";
constexpr wchar_t kNotPlacedEnd[] = L"\r\n该位置已被占用且无法替换。\r\n";
constexpr wchar_t kPathFileAsBefore[] = L"路径文件保持原样。";
constexpr wchar_t kPathFileUnsure[] = L"无法确认路径文件是否保持原样：\r\n";
// The new configuration is in place; only the old one could not be removed completely. The next
// start finishes the removal (the tool recognises the name).
constexpr wchar_t kOldLeftBehindStart[] = L"\r\n旧的配置文件未能完全删除，残留在：\r\n";
constexpr wchar_t kOldLeftBehindEnd[] =
    L"\r\n请关闭正在使用它的程序，重新打开本工具时会自动删除它。";

// What undoing a failure could not tidy.
constexpr wchar_t kLeftoverStart[] = L"本工具留下的以下文件或文件夹暂时无法整理：\r\n";
constexpr wchar_t kLeftoverEnd[] = L"\r\n请关闭可能正在使用它的程序，重新打开本工具时会自动整理它。";

constexpr wchar_t kMoveAsideOperation[] = L"移开原有的配置文件";

// Whether another program's hold stopped the rename of the old entry: a sharing or lock
// violation says so itself; "access denied" does so only when the in-use check found an entry
// held open in it (a folder with an open file in it cannot be renamed). Any other denial is the
// system's refusal and is reported with its reason.
bool HeldByAnotherProgram(const ReplacementResult& result) {
  return result.code == ERROR_SHARING_VIOLATION || result.code == ERROR_LOCK_VIOLATION ||
         (result.code == ERROR_ACCESS_DENIED && !result.holder.empty());
}

std::wstring StateOfTheFolders(const std::wstring& installDir, const ReplacementResult& result,
                               const ReplacementWords& words) {
  // Only what stood there before is said to be as before.
  if (result.oldConfigurationBack && result.pathFileUnchanged && result.oldExisted &&
      result.pathFileExisted) {
    return words.allAsBefore;
  }
  std::wstring text;
  if (!result.oldConfigurationBack) {
    text = words.oldElsewhere + result.oldConfiguration + L"\r\n";
  } else if (result.oldExisted) {
    text = words.oldAsBefore;
  }
  if (!result.pathFileUnchanged) {
    return text + kPathFileUnsure + browser::PathFileForWriting(installDir);
  }
  if (result.pathFileExisted) return text + kPathFileAsBefore;
  // No path file before and none now: nothing follows the old configuration's place.
  if (text.ends_with(L"\r\n")) text.resize(text.size() - 2);
  return text;
}

// Where things are after a failure; "nothing left" only when nothing stood there before and
// undoing the failure left nothing of the tool's either.
std::wstring StateAfterFailure(const std::wstring& installDir, const ReplacementResult& result,
                               const ReplacementWords& words) {
  const std::wstring state = StateOfTheFolders(installDir, result, words);
  // The old configuration kept aside is named already.
  if (!result.leftover.empty() && result.leftover != result.oldConfiguration) {
    return (state.empty() ? state : state + L"\r\n") + kLeftoverStart + result.leftover +
           kLeftoverEnd;
  }
  return state.empty() ? std::wstring(kNothingLeft) : state;
}

}  // namespace

void ReportReplacementResult(Ui& ui, const std::wstring& installDir,
                             const ReplacementResult& result, const std::wstring& success,
                             const ReplacementWords& words, const RightsDecision& rights) {
  const std::wstring state = StateAfterFailure(installDir, result, words);
  switch (result.outcome) {
    case ReplacementOutcome::kDone:
      ui.Inform(success);
      return;
    case ReplacementOutcome::kOldLeftBehind:
      ui.Inform(success + kOldLeftBehindStart + result.path + kOldLeftBehindEnd);
      return;
    case ReplacementOutcome::kNameTaken:
      ui.Fail(words.nameTakenText(result.path), BoxTitle::kTool);
      return;
    case ReplacementOutcome::kCopyFailed:
      ui.Fail(words.copyFailedStart + result.path +
                  (result.notCopied.empty()
                       ? std::wstring(kCopyFailedEnd)
                       : kNotCopiedStart + result.notCopied + kNotCopiedEnd) +
                  state);
      return;
    case ReplacementOutcome::kCopyCancelled:
      ui.Fail(words.copyCancelled + state);
      return;
    case ReplacementOutcome::kInUse:
      ui.Fail(words.inUseStart + result.path + kInUseEnd + state);
      return;
    case ReplacementOutcome::kNotMovedAside: {
      if (HeldByAnotherProgram(result)) {
        const std::wstring& held = result.holder.empty() ? result.path : result.holder;
        ui.Fail(words.inUseStart + held + kInUseEnd + state);
        return;
      }
      const PlatformError error(kMoveAsideOperation, result.path, result.code);
      ui.Fail((words.inInstallFolder ? InstallFolderWriteFailureText(error, installDir, rights)
                                     : error.Describe()) +
                  L"\r\n" + state,
              BoxTitle::kTool);
      return;
    }
    case ReplacementOutcome::kBlocked:
    case ReplacementOutcome::kNotPlaced:
      ui.Fail(kNotPlacedStart + result.path + kNotPlacedEnd + state);
      return;
    case ReplacementOutcome::kNotCommitted:
      ui.Fail(result.error + L"\r\n" + state);
      return;
  }
}

}  // namespace velmo
