#include "support/file_queries.h"

#include <windows.h>

#include <algorithm>

#include "support/platform_error.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {

// --- Entries and paths ----------------------------------------------------------------------

namespace {

// Attribute query whose failure leaves nothing behind for the caller: the thread's last error is
// put back as it was before the call. A drive letter that now names an empty card reader or disc
// drive answers "not there" instead of the system's box asking for a disk
// (SEM_FAILCRITICALERRORS, set for this thread and this call only).
DWORD QueryAttributes(const std::wstring& path, DWORD* error = nullptr) {
  const DWORD previousError = GetLastError();
  DWORD previousMode = 0;
  const bool modeSet = SetThreadErrorMode(SEM_FAILCRITICALERRORS, &previousMode) != FALSE;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (error != nullptr) {
    *error = attributes != INVALID_FILE_ATTRIBUTES ? ERROR_SUCCESS : GetLastError();
  }
  if (modeSet) SetThreadErrorMode(previousMode, nullptr);
  SetLastError(previousError);
  return attributes;
}

}  // namespace

bool FolderExists(const std::wstring& path) {
  const DWORD attributes = QueryAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = QueryAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool EntryExists(const std::wstring& path) {
  return QueryAttributes(path) != INVALID_FILE_ATTRIBUTES;
}

DWORD EntryQueryError(const std::wstring& path) {
  DWORD error = ERROR_SUCCESS;
  QueryAttributes(path, &error);
  return error;
}

bool IsNotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsPlainFile(const std::wstring& path) {
  const DWORD attributes = QueryAttributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                        FILE_ATTRIBUTE_SYSTEM)) == 0;
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  WIN32_FILE_ATTRIBUTE_DATA data;
  const bool found = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
  SetLastError(previousError);
  if (!found || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

// A path the system works out from `in` through `query(in, out)`, which answers the length
// written, or the length needed when `out` is too small, or 0 on failure. Asked twice: first for
// the length the answer needs, then for the answer.
template <typename Query>
std::optional<std::wstring> AskForPath(Query query, const std::wstring& in) {
  std::wstring out(MAX_PATH, L'\0');
  DWORD length = query(in, out);
  if (length > out.size()) {
    out.resize(length);
    length = query(in, out);
  }
  if (length == 0 || length > out.size()) return std::nullopt;
  out.resize(length);
  return out;
}

}  // namespace

std::wstring FullLongPath(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  const std::wstring full = AskForPath(
      [](const std::wstring& in, std::wstring& out) {
        return GetFullPathNameW(in.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
      },
      path).value_or(path);
  const std::wstring longPath = AskForPath(
      [](const std::wstring& in, std::wstring& out) {
        return GetLongPathNameW(in.c_str(), out.data(), static_cast<DWORD>(out.size()));
      },
      full).value_or(full);
  SetLastError(previousError);
  return longPath;
}

std::optional<std::wstring> ShortPath(const std::wstring& path) {
  return AskForPath(
      [](const std::wstring& in, std::wstring& out) {
        return GetShortPathNameW(in.c_str(), out.data(), static_cast<DWORD>(out.size()));
      },
      path);
}

std::optional<std::uint64_t> FileSizeThroughLink(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  // Opened without FILE_FLAG_OPEN_REPARSE_POINT: the system follows the link to its target.
  const UniqueFileHandle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  const bool read = file && GetFileSizeEx(file.Get(), &size);
  SetLastError(previousError);
  if (!read) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

UniqueFileHandle OpenEntryToQuery(const std::wstring& path) {
  // FILE_FLAG_BACKUP_SEMANTICS: "You must set this flag to obtain a handle to a directory"
  // (CreateFileW).
  return UniqueFileHandle(CreateFileW(path.c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::optional<EntryIdentity> IdentityOf(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  const UniqueFileHandle handle = OpenEntryToQuery(path);
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = handle && GetFileInformationByHandle(handle.Get(), &information);
  SetLastError(previousError);
  if (!known) return std::nullopt;
  return EntryIdentity{information.dwVolumeSerialNumber, information.nFileIndexHigh,
                       information.nFileIndexLow};
}

bool SameEntry(const std::wstring& a, const std::wstring& b) {
  const std::optional<EntryIdentity> first = IdentityOf(a);
  return first && first == IdentityOf(b);
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool ConChinese(const std::wstring& text) { return AnsiByteLength(text) != text.size(); }

bool NeedsRelativeForm(const std::wstring& path) { return ConChinese(path) || !SurvivesAnsi(path); }

// --- A folder's listing ---------------------------------------------------------------------

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

// --- Whole files ---------------------------------------------------------------------------

UniqueFileHandle CreateFileForWriting(const std::wstring& path, const std::wstring& operation,
                                      const std::wstring& reportedPath) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError(operation, reportedPath);
  return file;
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes, const std::wstring& operation,
                    const std::wstring& reportedPath) {
  const UniqueFileHandle file = CreateFileForWriting(path, operation, reportedPath);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data() + done, chunk, &written, nullptr)) {
      ThrowLastError(operation, reportedPath);
    }
    // A write that takes nothing without reporting an error would repeat for ever.
    if (written == 0) ThrowError(operation, reportedPath, ERROR_WRITE_FAULT);
    done += written;
  }
  if (!FlushFileBuffers(file.Get())) ThrowLastError(operation, reportedPath);
}

std::string ReadFileBytes(const std::wstring& path, const std::wstring& operation) {
  const UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError(operation, path);
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
      ThrowLastError(operation, path);
    }
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
}

// --- How much a copy takes and how much room a volume has for it ---------------------------

namespace {

// A longer relative path than the one kept replaces it.
void KeepLonger(std::wstring& kept, const std::wstring& relative) {
  if (relative.size() > kept.size()) kept = relative;
}

void Measure(const std::wstring& folder, const std::wstring& relative,
             const std::array<std::wstring, 3>& excluded, std::uint64_t clusterBytes,
             CopyMeasure& measure) {
  ForEachEntry(folder, [&](const DirectoryEntry& entry) {
    const std::wstring entryRelative =
        relative.empty() ? entry.name : relative + L"\\" + entry.name;
    if (!entry.IsFolder()) {
      measure.bytes += BytesOnVolume(entry.size, clusterBytes);
      KeepLonger(measure.longestFile, entryRelative);
      return true;
    }
    bool left = false;
    for (const std::wstring& path : excluded) left = left || SameName(entry.path, path);
    if (left) return true;
    KeepLonger(measure.longestFolder, entryRelative);
    if (!entry.IsLink()) Measure(entry.path, entryRelative, excluded, clusterBytes, measure);
    return true;
  });
}

}  // namespace

std::uint64_t BytesOnVolume(std::uint64_t size, std::uint64_t clusterBytes) {
  if (clusterBytes == 0) return size;
  return (size + clusterBytes - 1) / clusterBytes * clusterBytes;
}

CopyMeasure MeasureCopy(const std::wstring& folder, const std::array<std::wstring, 3>& excluded,
                        std::uint64_t clusterBytes) {
  CopyMeasure measure;
  Measure(folder, std::wstring(), excluded, clusterBytes, measure);
  return measure;
}

std::optional<std::uint64_t> FreeBytesForUser(const std::wstring& folder) {
  // The folder with a trailing separator: the call takes a directory, and a volume mounted in a
  // folder is measured as that volume.
  std::wstring directory = folder;
  if (directory.empty() || directory.back() != L'\\') directory += L'\\';
  ULARGE_INTEGER freeToCaller{};
  if (!GetDiskFreeSpaceExW(directory.c_str(), &freeToCaller, nullptr, nullptr)) {
    return std::nullopt;
  }
  return freeToCaller.QuadPart;
}

std::uint64_t ClusterBytes(const std::wstring& folder) {
  // GetDiskFreeSpaceW takes the root of a volume ("C:\", "\\server\share\", or the folder a
  // volume is mounted in), with its trailing backslash: GetVolumePathNameW gives that root.
  std::wstring root(MAX_PATH + 1, L'\0');
  if (!GetVolumePathNameW(folder.c_str(), root.data(), static_cast<DWORD>(root.size()))) return 0;
  root.resize(root.find(L'\0'));
  if (root.empty() || root.back() != L'\\') root += L'\\';
  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    return 0;
  }
  return static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
}

}  // namespace velmo
