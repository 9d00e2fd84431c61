// Listing a folder's entries with the file API, without the "." and ".." every listing holds.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>


namespace velmo {

// One entry of a folder, as the listing reports it (no further query is made).
struct DirectoryEntry {
  std::wstring name;  // the entry's own name
  std::wstring path;  // <folder>\<name>
  DWORD attributes;
  std::uint64_t size;  // bytes, for a file

  bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // A link (junction, symbolic link): its target is not part of the folder's tree.
  bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  bool IsReadOnly() const { return (attributes & FILE_ATTRIBUTE_READONLY) != 0; }
};

enum class ListingEnd {
  kComplete,  // every entry was visited (a folder without entries too)
  kStopped,   // the visitor asked to stop
  kFailed,    // the folder could not be listed, or the listing broke off: GetLastError() says why
};

// What a listing calls for each entry; it returns false to stop the listing.
using EntryVisitor = std::function<bool(const DirectoryEntry&)>;

// Calls `visit` for each entry of `folder` but "." and "..", in the file system's order, until it
// returns false.
ListingEnd ForEachEntry(const std::wstring& folder, const EntryVisitor& visit);

// The same for the entries whose name matches the file system's wildcard `pattern` ("vpf*.tmp").
// The system also matches a pattern against an entry's short 8.3 name: `visit` sees the long one.
ListingEnd ForEachEntryMatching(const std::wstring& folder, const std::wstring& pattern,
                                const EntryVisitor& visit);

}  // namespace velmo
