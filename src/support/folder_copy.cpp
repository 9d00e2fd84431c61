#include "support/folder_copy.h"

#include <windows.h>
#include <shellapi.h>

#include <optional>

#include "support/com.h"
#include "support/file_queries.h"
#include "support/ole_api.h"
#include "support/platform_error.h"
#include "support/shell_api.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

// An entry the destination pre-check clears: present, not a folder, not hidden, not system.
bool IsPlainFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                        FILE_ATTRIBUTE_SYSTEM)) == 0;
}

// The shell's lists are ended by two NULs.
std::wstring ShellList(const std::wstring& path) { return path + L'\0'; }

std::wstring LastComponent(const std::wstring& path) {
  std::wstring trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == L'\\') trimmed.pop_back();
  const std::size_t slash = trimmed.find_last_of(L'\\');
  return slash == std::wstring::npos ? trimmed : trimmed.substr(slash + 1);
}

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Every entry below `source` has its counterpart below `copy`: folders as folders, files as files
// of the same size. The shell does not always say when it left a file behind (one held open by
// another program, or one the user chose to skip), so its report alone is not enough.
bool CopyIsComplete(const std::wstring& source, const std::wstring& copy) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(FindFirstFileW((source + L"\\*").c_str(), &data));
  if (!find) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty folder
  do {
    if (IsDotEntry(data.cFileName)) continue;
    const std::wstring from = source + L"\\" + data.cFileName;
    const std::wstring to = copy + L"\\" + data.cFileName;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!FolderExists(to)) return false;
      // A linked folder is checked for its presence only: following links could loop.
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && !CopyIsComplete(from, to)) {
        return false;
      }
    } else {
      WIN32_FILE_ATTRIBUTE_DATA copied;
      if (!GetFileAttributesExW(to.c_str(), GetFileExInfoStandard, &copied) ||
          (copied.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
          copied.nFileSizeHigh != data.nFileSizeHigh || copied.nFileSizeLow != data.nFileSizeLow) {
        return false;
      }
    }
  } while (FindNextFileW(find.Get(), &data));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

bool CopyFolder(const std::wstring& source, const std::wstring& destination, bool showProgress,
                bool overwrite) {
  if (overwrite && IsPlainFile(destination) && !DeleteFileW(destination.c_str())) return false;

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
  operation.fFlags = static_cast<FILEOP_FLAGS>(showProgress ? 0 : FOF_SILENT | FOF_NOCONFIRMMKDIR);
  // The shell's copy engine works with COM objects: it runs in an apartment of this thread.
  // Without shell32 or COM nothing can be copied, which the caller reports as a failed copy.
  std::optional<OleApi> ole;
  if (!SkipIfFails([&] { ole.emplace(); })) return false;
  const ComApartment apartment(*ole);
  int result = 0;
  if (!SkipIfFails([&] { result = ShellFileOperation(operation); })) return false;
  if (result != 0 || operation.fAnyOperationsAborted) return false;
  return FolderExists(landing) && CopyIsComplete(source, landing);
}

}  // namespace velmo
