#include "support/directory_listing.h"

#include "support/unique_handle.h"

namespace velmo {
namespace {

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// The listing itself; `error` receives the reason of a failure while the search is still open.
ListingEnd List(const std::wstring& folder, const std::wstring& pattern, const EntryVisitor& visit,
                DWORD& error) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(FindFirstFileW((folder + L"\\" + pattern).c_str(), &data));
  if (!find) {
    error = GetLastError();
    // Nothing matches (for "*", only a folder without even "." has nothing: a drive's root).
    return error == ERROR_FILE_NOT_FOUND ? ListingEnd::kComplete : ListingEnd::kFailed;
  }
  do {
    if (IsDotEntry(data.cFileName)) continue;
    const DirectoryEntry entry{
        data.cFileName, folder + L"\\" + data.cFileName, data.dwFileAttributes,
        (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow};
    if (!visit(entry)) return ListingEnd::kStopped;
  } while (FindNextFileW(find.Get(), &data));
  error = GetLastError();
  return error == ERROR_NO_MORE_FILES ? ListingEnd::kComplete : ListingEnd::kFailed;
}

}  // namespace

ListingEnd ForEachEntry(const std::wstring& folder, const EntryVisitor& visit) {
  return ForEachEntryMatching(folder, L"*", visit);
}

ListingEnd ForEachEntryMatching(const std::wstring& folder, const std::wstring& pattern,
                                const EntryVisitor& visit) {
  DWORD error = ERROR_SUCCESS;
  const ListingEnd end = List(folder, pattern, visit, error);
  // Closing the search may overwrite the thread's last error: the reason is put back after it.
  if (end == ListingEnd::kFailed) SetLastError(error);
  return end;
}

}  // namespace velmo
