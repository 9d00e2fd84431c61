// Paths as text, compared the way the file system compares names: separators ("\" or "/"),
// letter case ignored. Nothing here touches the disk.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace velmo {

bool IsSeparator(wchar_t c);

// The path without the separators at its end ("C:\a\" -> "C:\a").
std::wstring_view WithoutTrailingSeparators(std::wstring_view path);

// The last name of the path, its separators at the end left out ("C:\a\b\" -> "b").
std::wstring_view LastComponent(std::wstring_view path);

// The path before its last name ("C:\a\b" -> "C:\a"); empty when it has no separator.
std::wstring_view ParentPart(std::wstring_view path);

// The folder above `path`, a drive's root as "C:\" ("C:\a" -> "C:\", "C:\a\b" -> "C:\a"); empty
// when it has no separator or is a root itself ("C:\", "\", "\\server\share", "\\server").
std::wstring ParentFolder(std::wstring_view path);

// `name` below `folder`, one separator between them however `folder` ends ("C:\" -> "C:\name").
std::wstring Below(std::wstring_view folder, std::wstring_view name);

// "C:\..." or "C:/...": a path on a drive letter.
bool StartsWithDriveLetter(std::wstring_view path);

// "C:\..." (or "C:/...") and "\\server\share\...": paths that do not depend on a current folder.
bool IsAbsolute(std::wstring_view path);

// The path as a box shows it: without a "\\?\" prefix before a drive letter ("\\?\UNC\server" is
// "\\server"; "\\?\Volume{…}\" and the like keep theirs), a doubled
// separator made single (the two that open a UNC path stay) and no separator at the end but the
// one of a drive's root ("C:\a\\b\" -> "C:\a\b", "C:\" stays).
std::wstring ShownPath(std::wstring_view path);

// What follows `folder` in `path` ("\a\b", or "" for the folder itself), or nullopt when `path`
// does not lie inside `folder`.
std::optional<std::wstring_view> PartBelow(std::wstring_view path, std::wstring_view folder);

}  // namespace velmo
