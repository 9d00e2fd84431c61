// Everything the tool relies on about the Velmo browser: its file names, its switch and the
// layout of its folders. These names appear nowhere else in the tool.
#pragma once
#include <array>
#include <string>
#include <vector>

namespace velmo::browser {

inline constexpr wchar_t kExecutableName[] = L"velmoexplorer.exe";
inline constexpr wchar_t kDefaultBrowserSwitch[] = L"-velmodefault";
inline constexpr wchar_t kSettingFolderName[] = L"Setting";
inline constexpr wchar_t kCookiesFolderName[] = L"Cookies";
inline constexpr wchar_t kWebkitCacheFolderName[] = L"WebkitCache";
// The path file is written as "path" and read as "Path"; the file system matches either.
inline constexpr wchar_t kPathFileNameWritten[] = L"path";
inline constexpr wchar_t kPathFileNameRead[] = L"Path";

// <dir>\velmoexplorer.exe
std::wstring ExecutablePath(const std::wstring& installDir);
// <dir>\Setting
std::wstring SettingFolder(const std::wstring& installDir);
// <dir>\Setting\Cookies
std::wstring CookiesFolder(const std::wstring& installDir);
// <dir>\path, the name the writers use
std::wstring PathFileForWriting(const std::wstring& installDir);
// <dir>\Path, the name the readers use
std::wstring PathFileForReading(const std::wstring& installDir);
// %TEMP%\WebkitCache
std::wstring DefaultCacheFolder(const std::wstring& temp);
// %APPDATA%\velmoexplorer
std::wstring ProfileFolder(const std::wstring& appData);
// The cache folders below a configuration folder, relative to it: Webkit\Cache, Webkit\Cache2
// and VelmoVideoCache, in that order.
std::vector<std::wstring> CacheFoldersInConfiguration();
// Webkit\Cache, Webkit\Cache2 and VelmoVideoCache below `configuration`, in that order.
std::array<std::wstring, 3> CacheFoldersBelow(const std::wstring& configuration);
// The same below the profile folder.
std::array<std::wstring, 3> ProfileCacheFolders(const std::wstring& appData);

}  // namespace velmo::browser
