#include "commands/transaction_names.h"

#include <string_view>
#include <utility>

#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/path_text.h"

namespace velmo {
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

enum class ProfileParent { kThisUsers, kOther, kNotPlain };

// Whether a restore's recorded folder beside the profile is this user's APPDATA. A journal that
// records that folder's identity is this user's only when APPDATA here is that very folder: the
// same text on another computer (a stick carried there, an account of the same name) is another
// account's folder. An earlier build's journal records none: the same text, or the same folder on
// disk when it is named plainly. Another folder named plainly is another user's (or another
// profile folder); one reached through "." or ".." is nobody's.
ProfileParent CompareProfileParent(const std::wstring& recorded,
                                   const std::optional<EntryIdentity>& identity,
                                   const std::wstring& appData) {
  const std::wstring here = ParentFolder(browser::ProfileFolder(appData));
  if (identity) {
    if (!IsPlainFullPath(recorded)) return ProfileParent::kNotPlain;
    return !appData.empty() && IdentityOf(here) == identity ? ProfileParent::kThisUsers
                                                            : ProfileParent::kOther;
  }
  if (!appData.empty() && SameName(recorded, here)) return ProfileParent::kThisUsers;
  if (!IsPlainFullPath(recorded)) return ProfileParent::kNotPlain;
  return !appData.empty() && SameEntry(recorded, here) ? ProfileParent::kThisUsers
                                                       : ProfileParent::kOther;
}

}  // namespace

SetNames::SetNames(const std::wstring& installDir)
    : setting(browser::SettingFolder(installDir)),
      partial(installDir + kPartialName),
      complete(installDir + kCompleteName),
      aside(installDir + kAsideName),
      doomed(installDir + kDoomedName),
      journal(installDir + kJournalName),
      draft(installDir + kJournalDraftName) {}

ReplacementNames SetNames::Replacement() const {
  return {setting, partial, complete, aside, doomed};
}

std::optional<std::wstring> FirstTakenName(const ReplacementNames& names,
                                           const SetNames& journalNames) {
  for (const std::wstring* name : {&names.partial, &names.complete, &names.aside, &names.doomed,
                                   &journalNames.journal, &journalNames.draft}) {
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
  const bool isSet = recorded.kind == TransactionKind::kSet;
  // The installation folder's names: bare, or (an earlier build's) in full below one folder.
  const std::wstring recordedFolder(ParentPart(recorded.commitFile));
  if (!recordedFolder.empty() && !IsPlainFullPath(recordedFolder)) return reached;
  const auto spelled = [&](const std::wstring& here) {
    const std::wstring bare(LastComponent(here));
    return recordedFolder.empty() ? bare : recordedFolder + L"\\" + bare;
  };
  const ReplacementNames setHere = SetNames(installDir).Replacement();
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
      return reached;
    }
  }
  journal.names = isSet ? setHere : RestoreNames(browser::ProfileFolder(appData));
  journal.commitFile = pathFile;
  reached.reach = JournalReach::kHere;
  return reached;
}

}  // namespace velmo
