// How much a copy takes and how much room a volume has for it.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace velmo {

// The bytes a file of `size` bytes takes on a volume of `clusterBytes` clusters: whole clusters
// (an empty file none). `clusterBytes` 0 (not known) counts the size itself.
std::uint64_t BytesOnVolume(std::uint64_t size, std::uint64_t clusterBytes);

// What a copy of a folder makes, counted in one walk of it.
struct CopyMeasure {
  std::uint64_t bytes = 0;    // every file as BytesOnVolume counts it
  std::wstring longestFile;   // the file with the longest path, relative to the folder ("": none)
  std::wstring longestFolder; // the folder with the longest path, relative ("": the folder itself)
};

// Measures a copy of `folder` to a volume of `clusterBytes` clusters, leaving out the folders in
// `excluded` (full paths, any letter case) and what links point to (a copy takes the link, not
// its target's files). Entries that cannot be listed count nothing.
CopyMeasure MeasureCopy(const std::wstring& folder, const std::array<std::wstring, 3>& excluded,
                        std::uint64_t clusterBytes);

// The bytes this user may still write on the volume that holds `folder` (disk quotas included);
// nullopt when the system does not tell.
std::optional<std::uint64_t> FreeBytesForUser(const std::wstring& folder);

// The cluster size of the volume that holds `folder`; 0 when the system does not tell.
std::uint64_t ClusterBytes(const std::wstring& folder);

}  // namespace velmo
