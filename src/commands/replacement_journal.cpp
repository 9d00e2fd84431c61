#include "commands/replacement_journal.h"

#include <windows.h>

#include <charconv>
#include <string_view>
#include <utility>

#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/lock_retry.h"
#include "support/number_text.h"
#include "support/path_text.h"
#include "support/platform_error.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

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
  journal.kind = kind == kSetKind ? ReplacementKind::kSet : ReplacementKind::kRestore;
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
  AddLine(bytes, journal.kind == ReplacementKind::kSet ? kSetKind : kRestoreKind);
  AddLine(bytes, journal.phase == JournalPhase::kCopying ? kCopyingPhase : kSwappingPhase);
  AddLine(bytes, journal.oldExisted ? "1" : "0");
  const ReplacementNames& names = journal.names;
  const bool setNames = journal.kind == ReplacementKind::kSet;
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

void WriteJournal(const JournalFiles& files, const Journal& journal, RetryBudget& retries) {
  const wchar_t* const operation = journal.kind == ReplacementKind::kSet
                                       ? kSetJournalOperation
                                       : kRestoreJournalOperation;
  ScopeGuard removeDraft([&] { DeleteFileW(files.draft.c_str()); });
  WriteFileBytes(files.draft, JournalBytes(journal), operation, files.journal);
  const std::uint32_t error = retries.Run([&] {
    return Outcome(MoveFileExW(files.draft.c_str(), files.journal.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
  });
  if (error != 0) ThrowError(operation, files.journal, error);
  removeDraft.Dismiss();
}

bool JournalFilesRead::Interrupted() const {
  return IsToolJournal(journal.finding) || IsToolJournal(draft.finding);
}

ReplacementKind JournalFilesRead::Kind() const {
  return IsToolJournal(journal.finding) ? journal.journal.kind : draft.journal.kind;
}

JournalFilesRead ReadJournalFiles(const JournalFiles& files) {
  return {ReadJournal(files.journal), ReadJournal(files.draft)};
}

// The names the replacements create, and how a journal's names are read back.

namespace {

// Each as long as "Setting": a path that fits below Setting fits below any of them.
constexpr wchar_t kPartialName[] = L"\\Set~tmp";
constexpr wchar_t kCompleteName[] = L"\\Set~new";
constexpr wchar_t kAsideName[] = L"\\Set~old";
constexpr wchar_t kDoomedName[] = L"\\Set~del";
constexpr wchar_t kJournalName[] = L"\\Set~jnl";

constexpr wchar_t kJournalDraftName[] = L"\\Set~jnw";

// Each no longer than "velmoexplorer": a path that fits below the profile fits below any of them.
constexpr wchar_t kRestorePartialName[] = L"\\velmoexp~tmp";
constexpr wchar_t kRestoreCompleteName[] = L"\\velmoexp~new";
constexpr wchar_t kRestoreAsideName[] = L"\\velmoexp~old";
constexpr wchar_t kRestoreDoomedName[] = L"\\velmoexp~del";

// A full path without "." or ".." among its names: whatever it names, it names it plainly.
bool IsPlainFullPath(std::wstring_view path) {
  if (!IsAbsolute(path)) return false;
  for (std::wstring_view rest = path; !rest.empty();) {
    const std::size_t end = rest.find_first_of(L"\\/");
    const std::wstring_view name = rest.substr(0, end);
    if (name == L"." || name == L"..") return false;
    rest.remove_prefix(end == std::wstring_view::npos ? rest.size() : end + 1);
  }
  return true;
}

// Whether each of the five names in `recorded` is, to the letter, what `spelled` makes of the
// same role's name in `expected`.
template <typename Spelling>
bool SameRoles(const ReplacementNames& recorded, const ReplacementNames& expected,
               const Spelling& spelled) {
  const std::pair<const std::wstring*, const std::wstring*> roles[] = {
      {&recorded.target, &expected.target}, {&recorded.partial, &expected.partial},
      {&recorded.complete, &expected.complete}, {&recorded.aside, &expected.aside},
      {&recorded.doomed, &expected.doomed}};
  for (const auto& [name, role] : roles) {
    if (*name != spelled(*role)) return false;
  }
  return true;
}

enum class ProfileParent { kThisUsers, kOther, kUnknown, kNotPlain };

// Whether a restore's recorded folder beside the profile is this user's APPDATA. A journal that
// records that folder's identity is this user's only when APPDATA here is that very folder: the
// same text on another computer (a stick carried there, an account of the same name) is another
// account's folder. An earlier build's journal records none: the same text, or the same folder on
// disk when it is named plainly. Another folder named plainly is another user's (or another
// profile folder); one reached through "." or ".." is nobody's. When this user's APPDATA cannot
// be identified, whose the journal is cannot be told.
ProfileParent CompareProfileParent(const std::wstring& recorded,
                                   const std::optional<EntryIdentity>& identity,
                                   const std::wstring& appData) {
  const std::wstring here = ParentFolder(browser::ProfileFolder(appData));
  if (!identity && !appData.empty() && SameName(recorded, here)) return ProfileParent::kThisUsers;
  if (!IsPlainFullPath(recorded)) return ProfileParent::kNotPlain;
  if (appData.empty()) return ProfileParent::kOther;
  const std::optional<EntryIdentity> hereIdentity = IdentityOf(here);
  // A folder that is not there is not the one recorded; one that cannot be read may be.
  if (!hereIdentity) {
    return IsNotFound(EntryQueryError(here)) ? ProfileParent::kOther : ProfileParent::kUnknown;
  }
  const bool same = identity ? hereIdentity == identity : SameEntry(recorded, here);
  return same ? ProfileParent::kThisUsers : ProfileParent::kOther;
}

}  // namespace

ReplacementNames SetNames(const std::wstring& installDir) {
  return {browser::SettingFolder(installDir), installDir + kPartialName,
          installDir + kCompleteName, installDir + kAsideName, installDir + kDoomedName};
}

JournalFiles::JournalFiles(const std::wstring& installDir)
    : journal(installDir + kJournalName), draft(installDir + kJournalDraftName) {}

std::optional<std::wstring> FirstTakenName(const ReplacementNames& names,
                                           const JournalFiles& files) {
  for (const std::wstring* name : {&names.partial, &names.complete, &names.aside, &names.doomed,
                                   &files.journal, &files.draft}) {
    if (EntryExists(*name)) return *name;
  }
  return std::nullopt;
}

ReplacementNames RestoreNames(const std::wstring& profile) {
  const std::wstring parent(ParentPart(profile));
  return {profile, parent + kRestorePartialName, parent + kRestoreCompleteName,
          parent + kRestoreAsideName, parent + kRestoreDoomedName};
}

bool IsRestoreNameBesideProfile(std::wstring_view entry) {
  const std::wstring_view name = LastComponent(entry);
  for (const std::wstring_view restoreName : {kRestorePartialName, kRestoreCompleteName,
                                              kRestoreAsideName, kRestoreDoomedName}) {
    if (SameName(name, restoreName.substr(1))) return true;
  }
  return false;
}

ReachedJournal ResolveJournal(const Journal& recorded, const std::wstring& installDir,
                              const std::wstring& appData) {
  ReachedJournal reached{JournalReach::kNotTheTools, recorded};
  Journal& journal = reached.journal;
  const bool isSet = recorded.kind == ReplacementKind::kSet;
  // The installation folder's names: bare, or (an earlier build's) in full below one folder.
  const std::wstring recordedFolder(ParentPart(recorded.commitFile));
  if (!recordedFolder.empty() && !IsPlainFullPath(recordedFolder)) return reached;
  const auto spelled = [&](const std::wstring& here) {
    const std::wstring bare(LastComponent(here));
    return recordedFolder.empty() ? bare : recordedFolder + L"\\" + bare;
  };
  const ReplacementNames setHere = SetNames(installDir);
  const std::wstring pathFile = browser::PathFileForWriting(installDir);
  if (recorded.commitFile != spelled(pathFile) ||
      (isSet && !SameRoles(recorded.names, setHere, spelled))) {
    return reached;
  }
  // A restore's names beside the profile folder: full paths, the tool's for one folder.
  // A drive's root as "D:\\", so that a profile folder at "D:\\velmoexplorer" is read back.
  const std::wstring recordedAppData = ParentFolder(recorded.names.target);
  if (!isSet) {
    if (!IsAbsolute(recordedAppData) ||
        !SameRoles(recorded.names, RestoreNames(browser::ProfileFolder(recordedAppData)),
                   [](const std::wstring& name) { return name; })) {
      return reached;
    }
    const ProfileParent parent =
        CompareProfileParent(recordedAppData, recorded.profileParent, appData);
    if (parent != ProfileParent::kThisUsers) {
      if (parent == ProfileParent::kOther) reached.reach = JournalReach::kOtherProfile;
      if (parent == ProfileParent::kUnknown) reached.reach = JournalReach::kProfileUnknown;
      return reached;
    }
  }
  journal.names = isSet ? setHere : RestoreNames(browser::ProfileFolder(appData));
  journal.commitFile = pathFile;
  reached.reach = JournalReach::kHere;
  return reached;
}

}  // namespace velmo
