#include "commands/set_transaction.h"

#include <windows.h>

#include <charconv>
#include <string_view>
#include <utility>

#include "commands/set_recovery.h"
#include "model/browser_layout.h"
#include "support/file_contents.h"
#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/lock_retry.h"
#include "support/number_text.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

// Each as long as "Setting": a path that fits below Setting fits below any of them.
constexpr wchar_t kPartialName[] = L"\\Set~tmp";
constexpr wchar_t kCompleteName[] = L"\\Set~new";
constexpr wchar_t kAsideName[] = L"\\Set~old";
constexpr wchar_t kDoomedName[] = L"\\Set~del";
constexpr wchar_t kJournalName[] = L"\\Set~jnl";

constexpr std::string_view kJournalStart = "VelmoSet2\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kNoFile = '-';
constexpr std::string_view kJournalEnd = "VelmoSetEnd\r\n";
constexpr wchar_t kJournalOperation[] = L"记录设置进度";

SetResult Result(SetOutcome outcome, std::wstring path = {}, std::wstring error = {}) {
  SetResult result;
  result.outcome = outcome;
  result.path = std::move(path);
  result.error = std::move(error);
  return result;
}

// What may stand at the Setting path and be replaced: a folder, or a plain file (a hidden or
// system file is never the user's old configuration, and is left alone).
bool Replaceable(const std::wstring& path) { return FolderExists(path) || IsPlainFile(path); }

// The journal's bytes: a start line, the old-entry flag, the path file's bytes after the Set
// (their length on a line, then the bytes), the bytes before it ("-" when there was no path
// file), an end line. A journal without its end was cut short.
std::string JournalBytes(const SetJournal& journal) {
  std::string bytes(kJournalStart);
  bytes += journal.oldExisted ? '1' : '0';
  bytes += kLineEnd;
  bytes += DecimalBytes(journal.pathFileBytes.size());
  bytes += kLineEnd;
  bytes += journal.pathFileBytes;
  if (journal.pathFileBefore) {
    bytes += DecimalBytes(journal.pathFileBefore->size());
    bytes += kLineEnd;
    bytes += *journal.pathFileBefore;
  } else {
    bytes += kNoFile;
    bytes += kLineEnd;
  }
  bytes += kJournalEnd;
  return bytes;
}

// Takes "<length>\r\n<bytes>" off the front of `rest`; nullopt when it is not there whole.
std::optional<std::string> TakeCountedBytes(std::string_view& rest) {
  std::size_t length = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), length);
  if (error != std::errc() || end == rest.data()) return std::nullopt;
  rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
  if (!rest.starts_with(kLineEnd) || rest.size() - kLineEnd.size() < length) return std::nullopt;
  rest.remove_prefix(kLineEnd.size());
  std::string bytes(rest.substr(0, length));
  rest.remove_prefix(length);
  return bytes;
}

std::optional<SetJournal> ParseJournal(std::string_view rest) {
  if (!rest.starts_with(kJournalStart)) return std::nullopt;
  rest.remove_prefix(kJournalStart.size());
  if (rest.size() < 3 || (rest[0] != '0' && rest[0] != '1') || rest.substr(1, 2) != kLineEnd) {
    return std::nullopt;
  }
  SetJournal journal;
  journal.oldExisted = rest[0] == '1';
  rest.remove_prefix(3);
  std::optional<std::string> after = TakeCountedBytes(rest);
  if (!after) return std::nullopt;
  journal.pathFileBytes = std::move(*after);
  if (rest.size() >= 3 && rest[0] == kNoFile && rest.substr(1, 2) == kLineEnd) {
    rest.remove_prefix(3);
  } else {
    journal.pathFileBefore = TakeCountedBytes(rest);
    if (!journal.pathFileBefore) return std::nullopt;
  }
  if (rest != kJournalEnd) return std::nullopt;
  return journal;
}

// Writes the journal and makes sure it is on the disk before anything is renamed.
void WriteJournal(const std::wstring& name, const SetJournal& journal) {
  WriteFileBytes(name, JournalBytes(journal), kJournalOperation, name);
}

// After a failure: checks where the old configuration and the path file are. `report` tells
// what undoing the transaction could not put back.
SetResult Checked(const SetPlan& plan, const std::optional<std::string>& pathFileBefore,
                  bool oldExisted, const TidyReport& report, SetResult result) {
  const SetNames names(plan.installDir);
  std::optional<std::string> pathFileNow;
  result.pathFileUnchanged =
      SkipIfFails([&] { pathFileNow = ReadPathFileBytes(plan.installDir); }) &&
      pathFileNow == pathFileBefore;
  if (!report.configurations.empty()) {
    result.oldConfiguration = report.configurations.front().path;
  } else if (EntryExists(names.aside)) {
    result.oldConfiguration = names.aside;
  }
  result.oldConfigurationBack =
      result.oldConfiguration.empty() && (!oldExisted || EntryExists(names.setting));
  return result;
}

}  // namespace

SetNames::SetNames(const std::wstring& installDir)
    : setting(browser::SettingFolder(installDir)),
      partial(installDir + kPartialName),
      complete(installDir + kCompleteName),
      aside(installDir + kAsideName),
      doomed(installDir + kDoomedName),
      journal(installDir + kJournalName) {}

std::optional<SetJournal> ReadJournal(const std::wstring& name) {
  std::string bytes;
  if (!SkipIfFails([&] { bytes = ReadFileBytes(name, kJournalOperation); })) return std::nullopt;
  return ParseJournal(bytes);
}

bool RenameEntry(const std::wstring& from, const std::wstring& to) {
  return RetryWhileLocked([&] {
           return Outcome(MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH));
         }) == 0;
}

bool RemoveFileOrFolder(const std::wstring& path, const FolderDeleter& deleter) {
  if (!EntryExists(path)) return true;
  if (FolderExists(path)) return SkipIfFails([&] { deleter.DeleteFolder(path); });
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return deleter.Retries().Run([&] { return Outcome(DeleteFileW(path.c_str())); }) == 0;
}

SetPlan MakeSetPlan(const Context& context, PathFileForm form) {
  const std::wstring appData = context.Env(L"APPDATA");
  SetPlan plan{context.installDir, browser::ProfileFolder(appData),
               browser::ProfileCacheFolders(appData),
               PathFileLinesFor(context.installDir, form,
                                browser::DefaultCacheFolder(context.Env(L"TEMP")))};
  // The video cache has always been found through the lower-case name; the lookup ignores case.
  plan.profileCaches[2] = browser::ProfileCacheFolders(context.Env(L"appdata"))[2];
  return plan;
}

SetResult RunSetTransaction(const SetPlan& plan, const std::optional<std::string>& pathFileBefore,
                            const FolderDeleter& deleter, SetStepObserver observer) {
  const SetNames names(plan.installDir);
  const bool oldExisted = EntryExists(names.setting);
  if (oldExisted && !Replaceable(names.setting)) {
    return Checked(plan, pathFileBefore, oldExisted, {},
                   Result(SetOutcome::kBlocked, names.setting));
  }

  // A missing or busy cache folder stays, without a message.
  for (const std::wstring& cache : plan.profileCaches) {
    SkipIfFails([&] { deleter.DeleteFolder(cache); });
  }
  observer(SetStep::kCachesDeleted);

  // A failure undoes what was done, exactly as the next start would after an interruption.
  const auto fail = [&](SetOutcome outcome, const std::wstring& path, std::wstring error = {}) {
    return Checked(plan, pathFileBefore, oldExisted,
                   TidyInterruptedSet(plan.installDir, deleter),
                   Result(outcome, path, std::move(error)));
  };

  // Into an existing folder the shell would nest the copy: the name must be free.
  if (!RemoveFileOrFolder(names.partial, deleter)) return fail(SetOutcome::kCopyFailed, plan.profile);
  if (const CopyResult copy = CopyFolder(plan.profile, names.partial, true, true); !copy) {
    return fail(copy.cancelled ? SetOutcome::kCopyCancelled : SetOutcome::kCopyFailed,
                plan.profile);
  }
  observer(SetStep::kCopied);
  if (!RenameEntry(names.partial, names.complete)) {
    return fail(SetOutcome::kCopyFailed, plan.profile);
  }
  observer(SetStep::kCopyComplete);

  // Checked before anything moves: some systems let a folder be renamed while a file in it is
  // open, and its deletion would then fail halfway.
  if (oldExisted && FolderExists(names.setting)) {
    if (auto inUse = FindEntryInUse(names.setting)) return fail(SetOutcome::kInUse, *inUse);
  }
  try {
    WriteJournal(names.journal, {oldExisted, PathFileBytes(plan.pathFileLines), pathFileBefore});
  } catch (const PlatformError& error) {
    return fail(SetOutcome::kNotCommitted, names.journal, error.Describe());
  }
  observer(SetStep::kJournalWritten);

  if (oldExisted) {
    if (!RenameEntry(names.setting, names.aside)) return fail(SetOutcome::kInUse, names.setting);
    observer(SetStep::kOldMovedAside);
  }
  if (!RenameEntry(names.complete, names.setting)) {
    return fail(SetOutcome::kNotPlaced, names.setting);
  }
  observer(SetStep::kNewInPlace);

  try {
    WritePathFile(plan.installDir, plan.pathFileLines);
  } catch (const PlatformError& error) {
    // A path file that already holds these very bytes (a second Set) names the new Setting as
    // it is: the Set is committed all the same, as the next start would also find.
    std::optional<std::string> now;
    if (!SkipIfFails([&] { now = ReadPathFileBytes(plan.installDir); }) ||
        now != PathFileBytes(plan.pathFileLines)) {
      return fail(SetOutcome::kNotCommitted, browser::PathFileForWriting(plan.installDir),
                  error.Describe());
    }
  }
  observer(SetStep::kPathFileWritten);

  // Committed. The old entry is now garbage; while it keeps its name the journal stays, so that
  // the next start knows it may go.
  if (oldExisted) {
    if (!RenameEntry(names.aside, names.doomed)) {
      return Result(SetOutcome::kOldLeftBehind, names.aside);
    }
    observer(SetStep::kOldMarked);
  }
  DeleteFileW(names.journal.c_str());
  observer(SetStep::kJournalRemoved);
  if (oldExisted) {
    if (!RemoveFileOrFolder(names.doomed, deleter)) {
      return Result(SetOutcome::kOldLeftBehind, names.doomed);
    }
    observer(SetStep::kOldDeleted);
  }
  return Result(SetOutcome::kDone);
}

}  // namespace velmo
