// How much a copy takes and how much room a volume has for it.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace velmo {

// The bytes of every file below `folder`, leaving out the folders in `excluded` (full paths, any
// letter case) and what links point to (a copy takes the link, not its target's files).
// Entries that cannot be listed count nothing.
std::uint64_t FolderBytes(const std::wstring& folder, const std::array<std::wstring, 3>& excluded);

// The bytes this user may still write on the volume that holds `folder` (disk quotas included);
// nullopt when the system does not tell.
std::optional<std::uint64_t> FreeBytesForUser(const std::wstring& folder);

}  // namespace velmo
