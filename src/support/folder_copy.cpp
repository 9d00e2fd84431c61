#include "support/folder_copy.h"

#include <optional>

#include "support/com.h"
#include "support/directory_listing.h"
#include "support/file_queries.h"
#include "support/ole_api.h"
#include "support/platform_error.h"
#include "support/shell_api.h"

namespace velmo {
namespace {

constexpr int kShellOperationCancelled = 0x75;

// The shell's lists are ended by two NULs.
std::wstring ShellList(const std::wstring& path) { return path + L'\0'; }

std::wstring LastComponent(const std::wstring& path) {
  std::wstring trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == L'\\') trimmed.pop_back();
  const std::size_t slash = trimmed.find_last_of(L'\\');
  return slash == std::wstring::npos ? trimmed : trimmed.substr(slash + 1);
}

// Every entry below `source` has its counterpart below `copy`: folders as folders, files as files
// of the same size. The shell does not always say when it left a file behind (one held open by
// another program, or one the user chose to skip), so its report alone is not enough.
bool CopyIsComplete(const std::wstring& source, const std::wstring& copy) {
  const ListingEnd end = ForEachEntry(source, [&](const DirectoryEntry& entry) {
    const std::wstring counterpart = copy + L"\\" + entry.name;
    if (entry.IsFolder()) {
      // A linked folder is checked for its presence only: following links could loop.
      return FolderExists(counterpart) &&
             (entry.IsLink() || CopyIsComplete(entry.path, counterpart));
    }
    // The listing gives a symbolic link's own size (0); the shell copies what it points to.
    if (entry.IsLink()) return FileSize(counterpart) == FileSizeThroughLink(entry.path);
    return FileSize(counterpart) == entry.size;
  });
  return end == ListingEnd::kComplete;
}

}  // namespace

CopyResult CopyFolder(const std::wstring& source, const std::wstring& destination,
                      bool showProgress, bool overwrite) {
  return CopyFolder(source, destination, showProgress, overwrite, &ShellFileOperation);
}

CopyResult CopyFolder(const std::wstring& source, const std::wstring& destination,
                      bool showProgress, bool overwrite, const ShellOperationRunner& run) {
  if (overwrite && IsPlainFile(destination) && !DeleteFileW(destination.c_str())) return {};

  // Where the copy lands: into an existing folder the shell nests the source under its own name.
  const std::wstring landing = FolderExists(destination)
                                   ? destination + L"\\" + LastComponent(source)
                                   : destination;

  const std::wstring from = ShellList(source);
  const std::wstring to = ShellList(destination);
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_COPY;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  // With progress the shell shows its progress window and asks its own questions; without, it
  // copies silently and makes the folders it needs without asking.
  operation.fFlags = static_cast<FILEOP_FLAGS>(showProgress ? 0 : FOF_SILENT | FOF_NOCONFIRMMKDIR);
  // The shell's copy engine works with COM objects: it runs in an apartment of this thread.
  // Without shell32 or COM nothing can be copied, which the caller reports as a failed copy.
  std::optional<OleApi> ole;
  if (!SkipIfFails([&] { ole.emplace(); })) return {};
  const ComApartment apartment(*ole);
  int result = 0;
  if (!SkipIfFails([&] { result = run(operation); })) return {};
  CopyResult copy;
  // The shell returns ERROR_CANCELLED or DE_OPCANCELLED (0x75) and sets fAnyOperationsAborted
  // when the user stops the copy.
  copy.cancelled = result == ERROR_CANCELLED || result == kShellOperationCancelled ||
                   operation.fAnyOperationsAborted;
  if (result != 0 || copy.cancelled) return copy;
  copy.complete = FolderExists(landing) && CopyIsComplete(source, landing);
  return copy;
}

}  // namespace velmo
