#include "commands/restore_recovery.h"

#include <windows.h>

#include <string_view>

#include "commands/restore_transaction.h"
#include "commands/set_transaction.h"
#include "model/browser_layout.h"
#include "support/file_contents.h"
#include "support/file_queries.h"
#include "support/path_text.h"
#include "support/platform_error.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

constexpr std::string_view kJournalStart = "VelmoRestore1\r\n";
constexpr std::string_view kJournalEnd = "VelmoRestoreEnd\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr wchar_t kJournalOperation[] = L"记录恢复进度";
constexpr wchar_t kTemporaryJournalSuffix[] = L".tmp";

std::wstring JournalPath(const std::wstring& installDir) {
  return SetNames(installDir).journal;
}

// Takes the line at the front of `rest` (without its CR LF); nullopt when there is none.
std::optional<std::string_view> TakeLine(std::string_view& rest) {
  const std::size_t end = rest.find(kLineEnd);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end + kLineEnd.size());
  return line;
}

std::optional<RestoreJournal> ParseJournal(std::string_view rest) {
  if (!rest.starts_with(kJournalStart)) return std::nullopt;
  rest.remove_prefix(kJournalStart.size());
  const auto flag = TakeLine(rest);
  const auto profile = TakeLine(rest);
  const auto copy = TakeLine(rest);
  const auto aside = TakeLine(rest);
  if (!flag || !profile || !copy || !aside || (*flag != "0" && *flag != "1") ||
      rest != kJournalEnd) {
    return std::nullopt;
  }
  return RestoreJournal{FromUtf8(*profile), FromUtf8(*copy), FromUtf8(*aside), *flag == "1"};
}

// The journal names exactly the names beside this user's profile folder.
bool NamesThisUsersProfile(const RestoreJournal& journal, const std::wstring& appData) {
  const RestoreNames names(browser::ProfileFolder(appData));
  return !appData.empty() && SameName(journal.profile, names.profile) &&
         SameName(journal.copy, names.copy) && SameName(journal.aside, names.aside);
}

}  // namespace

void WriteRestoreJournal(const std::wstring& installDir, const RestoreJournal& journal) {
  std::string bytes(kJournalStart);
  bytes += journal.oldExisted ? "1" : "0";
  for (const std::wstring* path : {&journal.profile, &journal.copy, &journal.aside}) {
    bytes += kLineEnd;
    bytes += ToUtf8(*path);
  }
  bytes += kLineEnd;
  bytes += kJournalEnd;
  // Written under another name first, so that the journal is whole or absent.
  const std::wstring path = JournalPath(installDir);
  const std::wstring temporary = path + kTemporaryJournalSuffix;
  WriteFileBytes(temporary, bytes, kJournalOperation, path);
  if (!MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    DeleteFileW(temporary.c_str());
    ThrowError(kJournalOperation, path, code);
  }
}

std::optional<RestoreJournal> ReadRestoreJournal(const std::wstring& installDir) {
  std::string bytes;
  if (!SkipIfFails([&] { bytes = ReadFileBytes(JournalPath(installDir), kJournalOperation); })) {
    return std::nullopt;
  }
  return ParseJournal(bytes);
}

void RemoveRestoreJournal(const std::wstring& installDir) {
  DeleteFileW(JournalPath(installDir).c_str());
}

bool TidyInterruptedRestore(const std::wstring& installDir, const std::wstring& appData,
                            const RestoreJournal& journal, const FolderDeleter& deleter) {
  if (!NamesThisUsersProfile(journal, appData)) return false;
  const bool pathFileThere = FileExists(browser::PathFileForReading(installDir));
  const bool copyThere = EntryExists(journal.copy);
  const bool asideThere = journal.oldExisted && EntryExists(journal.aside);
  const bool profileThere = EntryExists(journal.profile);

  // Committed: the path file was deleted once the copy had become the profile. The old profile
  // put aside goes.
  if (!pathFileThere && !copyThere && profileThere) {
    if (asideThere && !RemoveFileOrFolder(journal.aside, deleter)) return false;
    RemoveRestoreJournal(installDir);
    return true;
  }

  // Not committed: the browser still uses the portable configuration; the profile goes back.
  // The copy already in place (the old profile aside, or there was none) returns to its name.
  const bool copyInPlace = !copyThere && profileThere && (journal.oldExisted ? asideThere : true);
  if (copyInPlace && !RenameEntry(journal.profile, journal.copy)) return false;
  if (asideThere && !EntryExists(journal.profile) && !RenameEntry(journal.aside, journal.profile)) {
    return false;
  }
  if (!RemoveFileOrFolder(journal.copy, deleter)) return false;
  if (journal.oldExisted && EntryExists(journal.aside)) return false;
  RemoveRestoreJournal(installDir);
  return true;
}

}  // namespace velmo
