#include "model/path_file.h"

#include <windows.h>

#include <functional>

#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/lock_retry.h"
#include "support/platform_error.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kWriteOperation[] = L"写入路径文件";
constexpr wchar_t kDeleteOperation[] = L"删除路径文件";
constexpr wchar_t kReadOperation[] = L"读取路径文件";

// The path file's one temporary name beside it, removed again unless it was moved into place.
// Always the same name: a file left there by a write that was cut short is replaced by the next
// write, and is nothing the start-up needs to tidy.
constexpr wchar_t kTemporaryName[] = L"\\path.velmo-new";

bool IsReadOnly(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

// Replaces or deletes the path file with `step`. A read-only file can be neither replaced nor
// deleted (DeleteFile: "If an application attempts to delete a file that is read-only, the
// function fails with ERROR_ACCESS_DENIED"), and the path file is the tool's own: its read-only
// attribute is cleared first, as the removal of old entries does. Where it stays, that attribute
// explains the denial and no waiting ends it: the step fails at once with ERROR_FILE_READ_ONLY.
// A denial or sharing violation otherwise is another program's brief hold, waited out. A step
// that fails puts the attribute back: the path file is left as it was.
std::uint32_t ChangePathFile(const std::wstring& pathFile, RetryBudget& retries,
                             const std::function<BOOL()>& step) {
  const DWORD attributes = GetFileAttributesW(pathFile.c_str());
  const bool cleared =
      attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      SetFileAttributesW(pathFile.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  const std::uint32_t error = retries.Run([&]() -> std::uint32_t {
    const std::uint32_t code = Outcome(step());
    return code == ERROR_ACCESS_DENIED && IsReadOnly(pathFile) ? ERROR_FILE_READ_ONLY : code;
  });
  if (error != 0 && cleared) SetFileAttributesW(pathFile.c_str(), attributes);
  return error;
}

// Writes `bytes` to a temporary file beside the path file, then moves it over the path file.
void ReplacePathFile(const std::wstring& installDir, const std::string& bytes,
                     RetryBudget& retries) {
  const std::wstring target = browser::PathFileForWriting(installDir);
  const std::wstring temporary = installDir + kTemporaryName;
  ScopeGuard removeTemporary([&] { DeleteFileW(temporary.c_str()); });
  WriteFileBytes(temporary, bytes, kWriteOperation, target);
  const auto replace = [&] {
    return MoveFileExW(temporary.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  };
  // A program that has just opened the old path file (an antivirus scan) holds it for a moment;
  // a folder in its place stays, however long the tool waits.
  const std::uint32_t error =
      FolderExists(target) ? Outcome(replace()) : ChangePathFile(target, retries, replace);
  if (error != 0) ThrowError(kWriteOperation, target, error);
  removeTemporary.Dismiss();
}

}  // namespace

std::string PathFileBytes(const std::vector<std::wstring>& lines) {
  std::string bytes;
  for (const std::wstring& line : lines) {
    bytes += ToAnsi(line);
    bytes += "\r\n";
  }
  return bytes;
}

void WritePathFile(const std::wstring& installDir, const std::vector<std::wstring>& lines,
                   RetryBudget& retries) {
  ReplacePathFile(installDir, PathFileBytes(lines), retries);
}

void DeletePathFile(const std::wstring& installDir, RetryBudget& retries) {
  const std::wstring pathFile = browser::PathFileForWriting(installDir);
  const std::uint32_t error =
      ChangePathFile(pathFile, retries, [&] { return DeleteFileW(pathFile.c_str()); });
  if (error != 0) ThrowError(kDeleteOperation, pathFile, error);
}

std::vector<std::wstring> PathFileLinesFor(const std::wstring& installDir, PathFileForm form,
                                           const std::wstring& cacheFolder) {
  if (form == PathFileForm::kRelative) return {browser::kSettingFolderName, cacheFolder};
  return {browser::SettingFolder(installDir), cacheFolder, browser::CookiesFolder(installDir)};
}

std::optional<std::wstring> CacheFolderLine(const std::wstring& cacheFolder) {
  if (SurvivesAnsi(cacheFolder)) return cacheFolder;
  if (!FolderExists(cacheFolder)) CreateDirectoryW(cacheFolder.c_str(), nullptr);
  const std::optional<std::wstring> shortPath = ShortPath(cacheFolder);
  if (!shortPath || !SurvivesAnsi(*shortPath)) return std::nullopt;
  return shortPath;
}

std::wstring ShownLine(const std::wstring& line) { return line.substr(0, line.find(L'\0')); }

void CheckPathFileReplaceable(const std::wstring& installDir) {
  const std::wstring target = browser::PathFileForWriting(installDir);
  {
    // The new content goes to a file beside the path file first: the folder must take one.
    const std::wstring temporary = installDir + kTemporaryName;
    const ScopeGuard removeTemporary([&] { DeleteFileW(temporary.c_str()); });
    CreateFileForWriting(temporary, kWriteOperation, target);
  }
  if (!EntryExists(target)) return;
  // A read-only path file is replaced once its attribute is cleared: what that needs is asked
  // for instead of writing.
  const DWORD access = IsReadOnly(target) ? FILE_WRITE_ATTRIBUTES | DELETE : GENERIC_WRITE | DELETE;
  const UniqueFileHandle file(CreateFileW(
      target.c_str(), access,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError(kWriteOperation, target);
}

PathFileLines ParsePathFileBytes(std::string_view bytes) {
  std::string lines[3];
  int count = 0;
  std::size_t position = 0;
  while (position < bytes.size()) {  // the end of the file is tested before each line
    std::size_t end = bytes.find('\r', position);
    if (end == std::string_view::npos) end = bytes.size();
    if (count < 3) lines[count] = std::string(bytes.substr(position, end - position));
    ++count;
    position = end;
    if (position < bytes.size()) {  // skip the CR and an LF right after it
      ++position;
      if (position < bytes.size() && bytes[position] == '\n') ++position;
    }
  }
  return {FromAnsi(lines[0]), FromAnsi(lines[1]), FromAnsi(lines[2])};
}

std::optional<std::string> ReadPathFileBytes(const std::wstring& installDir) {
  const std::wstring name = browser::PathFileForReading(installDir);
  // A path file that cannot be asked about (access denied, a drive gone) is never taken for
  // none: whether a replacement committed is decided by it.
  const unsigned long error = EntryQueryError(name);
  if (IsNotFound(error)) return std::nullopt;
  if (error != ERROR_SUCCESS) ThrowError(kReadOperation, name, error);
  if (!FileExists(name)) return std::nullopt;
  return ReadFileBytes(name, kReadOperation);
}

std::optional<PathFileLines> ReadPathFileIfPresent(const std::wstring& installDir) {
  const std::optional<std::string> bytes = ReadPathFileBytes(installDir);
  if (!bytes) return std::nullopt;
  return ParsePathFileBytes(*bytes);
}

}  // namespace velmo
