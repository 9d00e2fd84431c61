#include "commands/set_names.h"

#include "model/browser_layout.h"
#include "support/file_queries.h"

namespace velmo {
namespace {

// Each as long as "Setting": a path that fits below Setting fits below any of them.
constexpr wchar_t kPartialName[] = L"\\Set~tmp";
constexpr wchar_t kCompleteName[] = L"\\Set~new";
constexpr wchar_t kAsideName[] = L"\\Set~old";
constexpr wchar_t kDoomedName[] = L"\\Set~del";
constexpr wchar_t kJournalName[] = L"\\Set~jnl";

constexpr wchar_t kJournalDraftName[] = L"\\Set~jnw";

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

std::optional<std::wstring> FirstTakenSetName(const SetNames& names) {
  for (const std::wstring* name :
       {&names.partial, &names.complete, &names.aside, &names.doomed, &names.journal,
        &names.draft}) {
    if (EntryExists(*name)) return *name;
  }
  return std::nullopt;
}

}  // namespace velmo
