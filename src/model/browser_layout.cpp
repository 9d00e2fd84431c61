#include "model/browser_layout.h"

#include "support/path_text.h"

namespace velmo::browser {
namespace {
constexpr wchar_t kProfileFolderName[] = L"velmoexplorer";
}

std::wstring ExecutablePath(const std::wstring& installDir) {
  return installDir + L"\\" + kExecutableName;
}

std::wstring SettingFolder(const std::wstring& installDir) {
  return installDir + L"\\" + kSettingFolderName;
}

std::wstring CookiesFolder(const std::wstring& installDir) {
  return SettingFolder(installDir) + L"\\" + kCookiesFolderName;
}

std::wstring PathFileForWriting(const std::wstring& installDir) {
  return installDir + L"\\" + kPathFileNameWritten;
}

std::wstring PathFileForReading(const std::wstring& installDir) {
  return installDir + L"\\" + kPathFileNameRead;
}

std::wstring DefaultCacheFolder(const std::wstring& temp) {
  return temp + L"\\" + kWebkitCacheFolderName;
}

std::wstring ProfileFolder(const std::wstring& appData) {
  return Below(appData, kProfileFolderName);
}

std::vector<std::wstring> CacheFoldersInConfiguration() {
  return {L"Webkit\\Cache", L"Webkit\\Cache2", L"VelmoVideoCache"};
}

std::array<std::wstring, 3> CacheFoldersBelow(const std::wstring& configuration) {
  const std::vector<std::wstring> caches = CacheFoldersInConfiguration();
  const std::wstring below = configuration + L"\\";
  return {below + caches[0], below + caches[1], below + caches[2]};
}

std::array<std::wstring, 3> ProfileCacheFolders(const std::wstring& appData) {
  return CacheFoldersBelow(ProfileFolder(appData));
}

}  // namespace velmo::browser
