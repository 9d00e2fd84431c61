#include "support/file_version.h"

#include <windows.h>

#include <vector>

#include "support/number_text.h"
#include "support/system_library.h"

namespace velmo {

std::wstring GetFileVersionText(const std::wstring& path) {
  const UniqueModule versionDll = LoadSystemLibrary(L"version.dll");
  const auto getSize = SystemProcedure<decltype(&::GetFileVersionInfoSizeW)>(
      versionDll, "GetFileVersionInfoSizeW");
  const auto getInfo =
      SystemProcedure<decltype(&::GetFileVersionInfoW)>(versionDll, "GetFileVersionInfoW");
  const auto queryValue =
      SystemProcedure<decltype(&::VerQueryValueW)>(versionDll, "VerQueryValueW");
  if (getSize == nullptr || getInfo == nullptr || queryValue == nullptr) return {};

  DWORD handle = 0;
  const DWORD size = getSize(path.c_str(), &handle);
  if (static_cast<LONG>(size) < 1) return {};

  std::vector<unsigned char> buffer(static_cast<std::size_t>(size) + 1, 0);
  if (!getInfo(path.c_str(), 0, size, buffer.data())) return {};

  void* root = nullptr;
  UINT rootLength = 0;
  if (!queryValue(buffer.data(), L"\\", &root, &rootLength) || root == nullptr ||
      rootLength < 16) {
    return {};
  }
  // The root block must lie inside our buffer before its first 16 bytes are read.
  const auto* rootBytes = static_cast<const unsigned char*>(root);
  if (rootBytes < buffer.data() || rootBytes + 16 > buffer.data() + buffer.size()) return {};

  VS_FIXEDFILEINFO info{};
  CopyMemory(&info, rootBytes, 16);
  return DecimalText(HIWORD(info.dwFileVersionMS)) + L"." +
         DecimalText(LOWORD(info.dwFileVersionMS)) + L"." +
         DecimalText(HIWORD(info.dwFileVersionLS)) + L"." +
         DecimalText(LOWORD(info.dwFileVersionLS));
}

}  // namespace velmo
