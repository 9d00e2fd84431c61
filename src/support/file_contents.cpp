#include "support/file_contents.h"

#include <windows.h>

#include <algorithm>

#include "support/platform_error.h"

namespace velmo {

UniqueFileHandle CreateFileForWriting(const std::wstring& path) {
  return UniqueFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
}

void WriteFileBytes(const std::wstring& path, std::string_view bytes, const std::wstring& operation,
                    const std::wstring& reportedPath) {
  const UniqueFileHandle file = CreateFileForWriting(path);
  if (!file) ThrowLastError(operation, reportedPath);
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

}  // namespace velmo
