#include "support/path_text.h"

#include "support/file_queries.h"

namespace velmo {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring_view WithoutTrailingSeparators(std::wstring_view path) {
  while (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  return path;
}

std::wstring_view LastComponent(std::wstring_view path) {
  const std::wstring_view trimmed = WithoutTrailingSeparators(path);
  const std::size_t separator = trimmed.find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? trimmed : trimmed.substr(separator + 1);
}

std::wstring_view ParentPart(std::wstring_view path) {
  const std::size_t separator = WithoutTrailingSeparators(path).find_last_of(L"\\/");
  return separator == std::wstring_view::npos ? std::wstring_view() : path.substr(0, separator);
}

std::wstring ParentFolder(std::wstring_view path) {
  std::wstring parent(ParentPart(path));
  // A share is the root of its volume and a server no folder; above "\\server" or "\a" there
  // are separators alone, and "\" would name the current drive's root.
  const std::wstring_view trimmed = WithoutTrailingSeparators(parent);
  const bool server = trimmed.size() > 2 && IsSeparator(trimmed[0]) && IsSeparator(trimmed[1]) &&
                      trimmed.find_first_of(L"\\/", 2) == std::wstring_view::npos;
  if (trimmed.empty() || server) return std::wstring();
  if (parent.size() == 2 && parent[1] == L':') parent += L'\\';
  return SameName(WithoutTrailingSeparators(parent), WithoutTrailingSeparators(path))
             ? std::wstring()
             : parent;
}

std::wstring Below(std::wstring_view folder, std::wstring_view name) {
  std::wstring joined(folder);
  if (joined.empty() || !IsSeparator(joined.back())) joined += L'\\';
  return joined += name;
}

bool StartsWithDriveLetter(std::wstring_view path) {
  return path.size() >= 3 &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && IsSeparator(path[2]);
}

bool IsAbsolute(std::wstring_view path) {
  return (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) ||
         StartsWithDriveLetter(path);
}

std::wstring ShownPath(std::wstring_view path) {
  constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
  constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
  std::wstring shown;
  // Only before a drive letter or a share is the prefix a mere spelling: "\\?\Volume{…}\" or
  // "\\?\GLOBALROOT\" without it would be a relative path.
  if (path.starts_with(kLongUncPrefix)) {
    path.remove_prefix(kLongUncPrefix.size());
    shown = L"\\\\";
  } else if (path.starts_with(kLongPrefix) &&
             StartsWithDriveLetter(path.substr(kLongPrefix.size()))) {
    path.remove_prefix(kLongPrefix.size());
  } else if (IsAbsolute(path) && !StartsWithDriveLetter(path)) {
    shown = path.substr(0, 2);
    path.remove_prefix(2);
  }
  const std::size_t opening = shown.size();
  for (const wchar_t c : path) {
    if (IsSeparator(c) && !shown.empty() && IsSeparator(shown.back())) continue;
    shown += c;
  }
  while (shown.size() > opening && shown.size() > 1 && IsSeparator(shown.back()) &&
         !(shown.size() == 3 && StartsWithDriveLetter(shown))) {
    shown.pop_back();
  }
  return shown;
}

std::optional<std::wstring_view> PartBelow(std::wstring_view path, std::wstring_view folder) {
  if (folder.empty() || path.size() < folder.size() ||
      !SameName(path.substr(0, folder.size()), folder)) {
    return std::nullopt;
  }
  const std::wstring_view rest = path.substr(folder.size());
  if (!rest.empty() && !IsSeparator(rest.front())) return std::nullopt;
  return WithoutTrailingSeparators(rest);
}

}  // namespace velmo
