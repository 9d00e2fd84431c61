#include "commands/restore_transaction.h"

#include <windows.h>

#include <cstdint>
#include <utility>

#include "model/browser_layout.h"
#include "support/folder_copy.h"
#include "support/lock_retry.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kDeletePathFileOperation[] = L"删除路径文件";

}  // namespace

SetResult RunRestoreTransaction(const RestorePlan& plan, const std::string& pathFileBefore,
                                const FolderDeleter& deleter, SetStepObserver observer) {
  Replacement replacement;
  replacement.installDir = plan.installDir;
  replacement.appData = plan.appData;
  replacement.source = plan.configuration;
  replacement.journal.kind = TransactionKind::kRestore;
  replacement.journal.names = RestoreNames(browser::ProfileFolder(plan.appData));
  replacement.journal.commitFile = browser::PathFileForWriting(plan.installDir);
  replacement.journal.commitFileBefore = pathFileBefore;  // and no path file after
  const std::wstring pathFile = replacement.journal.commitFile;
  return RunReplacement(
      std::move(replacement), [] {},
      [&](const std::wstring& destination) {
        // The portable folder must not change: its caches are left out of the copy, not deleted.
        return CopyFolderExcept(plan.configuration, destination,
                                browser::CacheFoldersInConfiguration(), true);
      },
      [&] {
        const std::uint32_t error =
            RetryWhileLocked([&] { return Outcome(DeleteFileW(pathFile.c_str())); });
        if (error != 0) ThrowError(kDeletePathFileOperation, pathFile, error);
      },
      deleter, observer);
}

}  // namespace velmo
