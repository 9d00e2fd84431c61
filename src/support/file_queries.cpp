#include "support/file_queries.h"

#include <windows.h>

#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
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

std::optional<EntryIdentity> IdentityOf(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  const UniqueFileHandle handle(CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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

}  // namespace velmo
