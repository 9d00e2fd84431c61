#include "commands/transaction_journal.h"

#include <windows.h>

#include <charconv>
#include <string_view>
#include <utility>

#include "support/file_queries.h"
#include "support/lock_retry.h"
#include "support/number_text.h"
#include "support/path_text.h"
#include "support/platform_error.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

// The first line of every journal this build writes: a file that begins with it, or with the
// earlier build's line, is the tool's. This build records names in the installation folder bare
// and may record the identity of a restore's profile folder; an earlier build, which knows
// neither and would drop such a journal unfollowed, takes a file with this line for the user's
// and leaves it alone.
constexpr std::string_view kSignature = "VelmoPortableJournal2\r\n";
// The first line the earlier build wrote (full paths, no identity); its journals are still read.
constexpr std::string_view kEarlierSignature = "VelmoPortableJournal\r\n";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSetKind = "Set";
constexpr std::string_view kRestoreKind = "Restore";
constexpr std::string_view kCopyingPhase = "copying";
constexpr std::string_view kSwappingPhase = "swapping";
constexpr std::string_view kNoFile = "-";
constexpr std::string_view kEnd = "End\r\n";
// "Identity <volume> <index high> <index low>", before the end line; an earlier build wrote none.
constexpr std::string_view kIdentityTag = "Identity ";
constexpr wchar_t kSetJournalOperation[] = L"记录设置进度";
constexpr wchar_t kRestoreJournalOperation[] = L"记录恢复为安装版的进度";

void AddLine(std::string& bytes, std::string_view line) {
  bytes += line;
  bytes += kLineEnd;
}

// "<length>\r\n<bytes>", or "-\r\n" for no file.
void AddCounted(std::string& bytes, const std::optional<std::string>& content) {
  if (!content) {
    AddLine(bytes, kNoFile);
    return;
  }
  AddLine(bytes, DecimalBytes(content->size()));
  bytes += *content;
}

// Takes one line off the front of `rest`; nullopt when no line end follows.
std::optional<std::string_view> TakeLine(std::string_view& rest) {
  const std::size_t end = rest.find(kLineEnd);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end + kLineEnd.size());
  return line;
}

// A full path on a line of its own, in UTF-8 (a path never holds a line end); never empty.
std::optional<std::wstring> TakePath(std::string_view& rest) {
  const std::optional<std::string_view> line = TakeLine(rest);
  if (!line || line->empty()) return std::nullopt;
  std::wstring path = FromUtf8(*line);
  if (path.empty() || ToUtf8(path) != *line) return std::nullopt;
  return path;
}

// Takes what AddCounted wrote; false when it is not there whole.
bool TakeCounted(std::string_view& rest, std::optional<std::string>& content) {
  const std::optional<std::string_view> line = TakeLine(rest);
  if (!line) return false;
  if (*line == kNoFile) {
    content.reset();
    return true;
  }
  std::size_t length = 0;
  const auto [end, error] = std::from_chars(line->data(), line->data() + line->size(), length);
  if (error != std::errc() || end != line->data() + line->size() || line->empty() ||
      rest.size() < length) {
    return false;
  }
  content = std::string(rest.substr(0, length));
  rest.remove_prefix(length);
  return true;
}

// Takes the three decimal numbers of an identity line.
std::optional<EntryIdentity> ParseIdentity(std::string_view line) {
  std::uint32_t parts[3] = {};
  for (std::uint32_t& part : parts) {
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), part);
    if (error != std::errc() || end == line.data()) return std::nullopt;
    line.remove_prefix(static_cast<std::size_t>(end - line.data()));
    if (&part != &parts[2]) {
      if (!line.starts_with(' ')) return std::nullopt;
      line.remove_prefix(1);
    }
  }
  if (!line.empty()) return std::nullopt;
  return EntryIdentity{parts[0], parts[1], parts[2]};
}

// Fills `journal` from the bytes after the signature line, as far as they go; false when they are
// not a whole journal.
bool ParseJournal(std::string_view rest, Journal& journal) {
  const std::optional<std::string_view> kind = TakeLine(rest);
  if (kind != kSetKind && kind != kRestoreKind) return false;
  journal.kind = kind == kSetKind ? TransactionKind::kSet : TransactionKind::kRestore;
  const std::optional<std::string_view> phase = TakeLine(rest);
  const std::optional<std::string_view> old = TakeLine(rest);
  if ((phase != kCopyingPhase && phase != kSwappingPhase) || (old != "0" && old != "1")) {
    return false;
  }
  journal.phase = phase == kCopyingPhase ? JournalPhase::kCopying : JournalPhase::kSwapping;
  journal.oldExisted = old == "1";
  ReplacementNames& names = journal.names;
  for (std::wstring* path : {&names.target, &names.partial, &names.complete, &names.aside,
                             &names.doomed, &journal.commitFile}) {
    std::optional<std::wstring> taken = TakePath(rest);
    if (!taken) return false;
    *path = std::move(*taken);
  }
  if (!TakeCounted(rest, journal.commitFileAfter) ||
      !TakeCounted(rest, journal.commitFileBefore)) {
    return false;
  }
  if (rest.starts_with(kIdentityTag)) {
    const std::optional<std::string_view> line = TakeLine(rest);
    if (!line) return false;
    journal.profileParent = ParseIdentity(line->substr(kIdentityTag.size()));
    if (!journal.profileParent) return false;
  }
  return rest == kEnd;
}

// How a name is recorded: a name in the installation folder (where the journal lies) by its bare
// name, a name beside the profile folder in full.
std::string Recorded(const std::wstring& path, bool inInstallationFolder) {
  return ToUtf8(inInstallationFolder ? std::wstring(LastComponent(path)) : path);
}

// The journal's bytes as WriteJournal puts them on disk.
std::string JournalBytes(const Journal& journal) {
  std::string bytes(kSignature);
  AddLine(bytes, journal.kind == TransactionKind::kSet ? kSetKind : kRestoreKind);
  AddLine(bytes, journal.phase == JournalPhase::kCopying ? kCopyingPhase : kSwappingPhase);
  AddLine(bytes, journal.oldExisted ? "1" : "0");
  const ReplacementNames& names = journal.names;
  const bool setNames = journal.kind == TransactionKind::kSet;
  for (const std::wstring* path :
       {&names.target, &names.partial, &names.complete, &names.aside, &names.doomed}) {
    AddLine(bytes, Recorded(*path, setNames));
  }
  AddLine(bytes, Recorded(journal.commitFile, true));
  AddCounted(bytes, journal.commitFileAfter);
  AddCounted(bytes, journal.commitFileBefore);
  if (const std::optional<EntryIdentity>& identity = journal.profileParent) {
    std::string line(kIdentityTag);
    for (const std::uint32_t part : {identity->volume, identity->indexHigh, identity->indexLow}) {
      line += DecimalBytes(part) + " ";
    }
    line.pop_back();
    AddLine(bytes, line);
  }
  bytes += kEnd;
  return bytes;
}

}  // namespace

JournalRead ReadJournal(const std::wstring& name) {
  JournalRead read;
  if (!EntryExists(name)) return read;
  if (!FileExists(name)) {
    read.finding = JournalFinding::kForeign;
    return read;
  }
  std::string bytes;
  if (!SkipIfFails([&] { bytes = ReadFileBytes(name, kSetJournalOperation); })) {
    read.finding = JournalFinding::kUnreadable;
    return read;
  }
  std::string_view rest(bytes);
  if (rest.starts_with(kSignature)) {
    rest.remove_prefix(kSignature.size());
  } else if (rest.starts_with(kEarlierSignature)) {
    rest.remove_prefix(kEarlierSignature.size());
  } else {
    read.finding = JournalFinding::kForeign;
    return read;
  }
  read.finding = ParseJournal(rest, read.journal) ? JournalFinding::kWhole
                                                  : JournalFinding::kCutShort;
  return read;
}

bool IsToolJournal(JournalFinding finding) {
  return finding == JournalFinding::kCutShort || finding == JournalFinding::kWhole ||
         finding == JournalFinding::kUnreadable;
}

void WriteJournal(const std::wstring& name, const std::wstring& draft, const Journal& journal,
                  RetryBudget& retries) {
  const wchar_t* const operation = journal.kind == TransactionKind::kSet
                                       ? kSetJournalOperation
                                       : kRestoreJournalOperation;
  try {
    WriteFileBytes(draft, JournalBytes(journal), operation, name);
    const std::uint32_t error = retries.Run([&] {
      return Outcome(MoveFileExW(draft.c_str(), name.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    });
    if (error != 0) ThrowError(operation, name, error);
  } catch (const PlatformError&) {
    DeleteFileW(draft.c_str());
    throw;
  }
}

}  // namespace velmo
