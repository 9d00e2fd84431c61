// Small questions the window and the commands ask before they touch a path or show it.
// None of them reports a failure: a path that cannot be queried is simply not there.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmo {

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

}  // namespace velmo
