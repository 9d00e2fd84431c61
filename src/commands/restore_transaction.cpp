#include "commands/restore_transaction.h"

#include <utility>

#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/path_text.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kIdentityOperation[] = L"确认用户配置文件夹所在的文件夹";

}  // namespace

SetResult RunRestoreTransaction(const RestorePlan& plan, const std::string& pathFileBefore,
                                const FolderDeleter& deleter, SetStepObserver observer) {
  Replacement replacement;
  replacement.installDir = plan.installDir;
  replacement.appData = plan.appData;
  replacement.source = plan.configuration;
  replacement.journal.kind = TransactionKind::kRestore;
  replacement.journal.names = RestoreNames(browser::ProfileFolder(plan.appData));
  // Which folder this APPDATA is, so that the journal is followed only for this account. A
  // journal without it would be followed wherever APPDATA is spelled the same (another computer's
  // account of the same name): the restore does not start without it.
  const std::wstring profileParent = ParentFolder(replacement.journal.names.target);
  replacement.journal.profileParent = IdentityOf(profileParent);
  if (!replacement.journal.profileParent) {
    // The query says why the folder cannot be read; one that is there but cannot be opened is
    // refused access.
    const DWORD error = EntryQueryError(profileParent);
    ThrowError(kIdentityOperation, profileParent,
               error != ERROR_SUCCESS ? error : ERROR_ACCESS_DENIED);
  }
  replacement.journal.commitFile = browser::PathFileForWriting(plan.installDir);
  replacement.journal.commitFileBefore = pathFileBefore;  // and no path file after
  return RunReplacement(
      std::move(replacement), [] {},
      [&](const std::wstring& destination) {
        // The portable folder must not change: its caches are left out of the copy, not deleted.
        return CopyFolder(plan.configuration, destination, browser::CacheFoldersInConfiguration(),
                          true);
      },
      [&] { DeletePathFile(plan.installDir, deleter.Retries()); },
      deleter, observer);
}

}  // namespace velmo
