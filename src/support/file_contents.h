// Whole files as bytes: read in one go, or written in one go and flushed to the disk.
#pragma once
#include <string>
#include <string_view>

#include "support/unique_handle.h"

namespace velmo {

// Creates the file at `path` for writing, replacing one that is there, shared with no one.
// Invalid when it cannot be created (GetLastError() says why).
UniqueFileHandle CreateFileForWriting(const std::wstring& path);

// Creates or replaces the file at `path` with `bytes` and flushes them to the disk. Throws
// PlatformError carrying `operation` and `reportedPath` (the file the user knows of, which may
// not be `path` itself) when it cannot.
void WriteFileBytes(const std::wstring& path, std::string_view bytes, const std::wstring& operation,
                    const std::wstring& reportedPath);

// The whole content of the file at `path`. Throws PlatformError carrying `operation` and `path`
// when it cannot be opened or read.
std::string ReadFileBytes(const std::wstring& path, const std::wstring& operation);

}  // namespace velmo
