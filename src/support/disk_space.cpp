#include "support/disk_space.h"

#include <windows.h>

#include "support/directory_listing.h"
#include "support/file_queries.h"

namespace velmo {
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
