#include "model/browser_layout.h"

namespace velmo::browser {
namespace {
constexpr wchar_t kProfileSuffix[] = L"\\velmoexplorer";
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

std::wstring ProfileFolder(const std::wstring& appData) { return appData + kProfileSuffix; }

std::array<std::wstring, 3> ProfileCacheFolders(const std::wstring& appData) {
  const std::wstring profile = ProfileFolder(appData);
  return {profile + L"\\Webkit\\Cache", profile + L"\\Webkit\\Cache2",
          profile + L"\\VelmoVideoCache"};
}

}  // namespace velmo::browser
