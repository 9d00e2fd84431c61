#include "model/path_file.h"

#include <windows.h>

#include <algorithm>

#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/platform_error.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kWriteOperation[] = L"写入路径文件";
constexpr wchar_t kReadOperation[] = L"读取路径文件";

void WriteAll(HANDLE file, const std::string& bytes, const std::wstring& name) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) {
      ThrowLastError(kWriteOperation, name);
    }
    done += written;
  }
}

// A temporary file beside the path file; removed again unless it was moved into place.
class TemporarySibling {
 public:
  explicit TemporarySibling(const std::wstring& directory) {
    wchar_t name[MAX_PATH + 16] = {};
    // GetTempFileNameW needs room for the directory plus "vpfXXXX.tmp"; a directory too long
    // for it gets a fixed name beside the path file instead.
    if (directory.size() + 14 < MAX_PATH && GetTempFileNameW(directory.c_str(), L"vpf", 0, name)) {
      path_ = name;
    } else {
      path_ = directory + L"\\path.velmo-new";
    }
  }
  ~TemporarySibling() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  TemporarySibling(const TemporarySibling&) = delete;
  TemporarySibling& operator=(const TemporarySibling&) = delete;

  const std::wstring& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::wstring path_;
};

// Writes `bytes` to a temporary file beside the path file, then moves it over the path file.
void ReplacePathFile(const std::wstring& installDir, const std::string& bytes) {
  const std::wstring target = browser::PathFileForWriting(installDir);
  TemporarySibling temporary(installDir);
  {
    UniqueFileHandle file(CreateFileW(temporary.Path().c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) ThrowLastError(kWriteOperation, target);
    WriteAll(file.Get(), bytes, target);
    if (!FlushFileBuffers(file.Get())) ThrowLastError(kWriteOperation, target);
  }
  if (!MoveFileExW(temporary.Path().c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ThrowLastError(kWriteOperation, target);
  }
  temporary.Keep();
}

// The whole content of a file that exists. Throws PlatformError when it cannot be read.
std::string ReadAllBytes(const std::wstring& name) {
  UniqueFileHandle file(CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) ThrowLastError(kReadOperation, name);
  std::string bytes;
  char buffer[64 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr)) {
      ThrowLastError(kReadOperation, name);
    }
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
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

void WritePathFile(const std::wstring& installDir, const std::vector<std::wstring>& lines) {
  ReplacePathFile(installDir, PathFileBytes(lines));
}

void WriteAbsolutePathFile(const std::wstring& installDir, const std::wstring& cacheFolder) {
  WritePathFile(installDir, {browser::SettingFolder(installDir), cacheFolder,
                             browser::CookiesFolder(installDir)});
}

void WriteRelativePathFile(const std::wstring& installDir, const std::wstring& cacheFolder) {
  WritePathFile(installDir, {browser::kSettingFolderName, cacheFolder});
}

void WritePathFile(const std::wstring& installDir, PathFileForm form,
                   const std::wstring& cacheFolder) {
  if (form == PathFileForm::kRelative) {
    WriteRelativePathFile(installDir, cacheFolder);
  } else {
    WriteAbsolutePathFile(installDir, cacheFolder);
  }
}

void CheckPathFileReplaceable(const std::wstring& installDir) {
  const std::wstring target = browser::PathFileForWriting(installDir);
  {
    // The new content goes to a file beside the path file first: the folder must take one.
    const TemporarySibling temporary(installDir);
    const UniqueFileHandle file(CreateFileW(temporary.Path().c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) ThrowLastError(kWriteOperation, target);
  }
  if (!EntryExists(target)) return;
  const UniqueFileHandle file(CreateFileW(
      target.c_str(), GENERIC_WRITE | DELETE,
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

PathFileLines ReadPathFile(const std::wstring& installDir) {
  return ParsePathFileBytes(ReadAllBytes(browser::PathFileForReading(installDir)));
}

std::optional<std::string> ReadPathFileBytes(const std::wstring& installDir) {
  const std::wstring name = browser::PathFileForReading(installDir);
  if (!FileExists(name)) return std::nullopt;
  return ReadAllBytes(name);
}

void RestorePathFileBytes(const std::wstring& installDir, const std::optional<std::string>& bytes) {
  if (bytes) {
    ReplacePathFile(installDir, *bytes);
    return;
  }
  const std::wstring name = browser::PathFileForWriting(installDir);
  if (FileExists(name) && !DeleteFileW(name.c_str())) ThrowLastError(kWriteOperation, name);
}

}  // namespace velmo
