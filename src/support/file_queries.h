// The file system as the window and the commands meet it, through the file API: questions about
// an entry, a path or a name, a folder's listing, whole files read and written, and the room a copy
// takes and a volume has.
// The questions never report a failure: a path that cannot be queried is simply not there. The
// whole-file reads and writes throw PlatformError.
#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/unique_handle.h"

namespace velmo {

// --- Entries and paths ----------------------------------------------------------------------

// True exactly when the path names an existing directory (a drive root counts).
bool FolderExists(const std::wstring& path);

// True exactly when the path names an existing entry that is not a directory.
bool FileExists(const std::wstring& path);

// True when anything stands at the path: a file, a folder or a link.
bool EntryExists(const std::wstring& path);
// Why nothing can be read at `path` (ERROR_SUCCESS when an entry is there), with no "insert a
// disk" box from the system. Only IsNotFound of it says that nothing is there; any other error
// (access denied, a drive without media, an offline share) cannot tell.
unsigned long EntryQueryError(const std::wstring& path);
bool IsNotFound(unsigned long error);

// True when the path names a file that is neither hidden nor system: one the user keeps, never
// the system's own.
bool IsPlainFile(const std::wstring& path);

// The size in bytes of the file the path names; nullopt for a folder, or when there is nothing
// there or it cannot be queried.
std::optional<std::uint64_t> FileSize(const std::wstring& path);

// The path as the system spells it in full: made absolute against the current folder, "." and
// ".." resolved, "/" read as "\", short (8.3) components of an existing path in their long form.
// The path as given when the system cannot say.
std::wstring FullLongPath(const std::wstring& path);

// The short (8.3) form of an existing entry's path; nullopt when the system gives none.
std::optional<std::wstring> ShortPath(const std::wstring& path);

// The size in bytes of the file a symbolic link points to (or of the file itself when it is no
// link), read through the link; nullopt when it cannot be opened.
std::optional<std::uint64_t> FileSizeThroughLink(const std::wstring& path);

// The file or folder at `path` opened only to be asked about (no access to its content, shared
// with every other opener; a link is followed); invalid when it cannot be opened.
UniqueFileHandle OpenEntryToQuery(const std::wstring& path);

// An entry's identity on its volume: the same for every spelling of its path (letter case, short
// 8.3 names, a trailing separator).
struct EntryIdentity {
  std::uint32_t volume;
  std::uint32_t indexHigh;
  std::uint32_t indexLow;
  bool operator==(const EntryIdentity&) const = default;
};

// The identity of the file or folder at `path`; nullopt when it cannot be opened.
std::optional<EntryIdentity> IdentityOf(const std::wstring& path);

// True when both paths name one existing folder or file, however each is spelled.
bool SameEntry(const std::wstring& a, const std::wstring& b);

// True when two names are equal as the file system compares them: without regard to letter case.
bool SameName(std::wstring_view a, std::wstring_view b);

// True exactly when the text's byte length in the ANSI code page differs from its number of
// UTF-16 units, i.e. it holds characters that take two bytes there (Chinese on code page 936).
bool ConChinese(const std::wstring& text);

// True when the path cannot go to the browser safely in the ANSI code page: it holds double-byte
// characters, or characters the code page cannot represent at all (they would arrive as '?').
bool NeedsRelativeForm(const std::wstring& path);

// --- A folder's listing (without the "." and ".." every listing holds) ----------------------

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

// --- Whole files as bytes: read in one go, or written in one go and flushed to the disk ------

// Creates the file at `path` for writing, replacing one that is there, shared with no one.
// Throws PlatformError carrying `operation` and `reportedPath` (the file the user knows of, which
// may not be `path` itself) when it cannot.
UniqueFileHandle CreateFileForWriting(const std::wstring& path, const std::wstring& operation,
                                      const std::wstring& reportedPath);

// Creates or replaces the file at `path` with `bytes` and flushes them to the disk. Throws
// PlatformError carrying `operation` and `reportedPath` (the file the user knows of, which may
// not be `path` itself) when it cannot.
void WriteFileBytes(const std::wstring& path, std::string_view bytes, const std::wstring& operation,
                    const std::wstring& reportedPath);

// The whole content of the file at `path`. Throws PlatformError carrying `operation` and `path`
// when it cannot be opened or read.
std::string ReadFileBytes(const std::wstring& path, const std::wstring& operation);

// --- How much a copy takes and how much room a volume has for it ---------------------------

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
