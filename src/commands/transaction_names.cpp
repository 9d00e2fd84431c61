#include "commands/transaction_names.h"

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

}  // namespace velmo
