#include "support/disk_space.h"

#include <windows.h>

#include "support/directory_listing.h"
#include "support/file_queries.h"

namespace velmo {

std::uint64_t FolderBytes(const std::wstring& folder, const std::array<std::wstring, 3>& excluded) {
  std::uint64_t bytes = 0;
  ForEachEntry(folder, [&](const DirectoryEntry& entry) {
    if (!entry.IsFolder()) {
      bytes += entry.size;
    } else if (!entry.IsLink()) {
      bool left = false;
      for (const std::wstring& path : excluded) left = left || SameName(entry.path, path);
      if (!left) bytes += FolderBytes(entry.path, excluded);
    }
    return true;
  });
  return bytes;
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

}  // namespace velmo
