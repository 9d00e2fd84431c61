#include "support/folder_link.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>

#include "support/system_library.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo::testing {
namespace {

constexpr DWORD kLinkWaitMs = 10000;

bool IsLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The mount-point form of REPARSE_DATA_BUFFER, which only the driver headers declare.
struct MountPointData {
  DWORD tag;
  WORD dataLength;
  WORD reserved;
  WORD substituteOffset;
  WORD substituteLength;
  WORD printOffset;
  WORD printLength;
  wchar_t paths[2048];
};

bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  const std::wstring substitute = L"\\??\\" + target;
  if ((substitute.size() + target.size() + 2) * sizeof(wchar_t) > sizeof(MountPointData{}.paths) ||
      !CreateDirectoryW(link.c_str(), nullptr)) {
    return false;
  }
  MountPointData data{};
  data.tag = IO_REPARSE_TAG_MOUNT_POINT;
  data.substituteLength = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  data.printOffset = static_cast<WORD>(data.substituteLength + sizeof(wchar_t));
  data.printLength = static_cast<WORD>(target.size() * sizeof(wchar_t));
  std::memcpy(data.paths, substitute.c_str(), data.substituteLength);
  std::memcpy(data.paths + substitute.size() + 1, target.c_str(), data.printLength);
  data.dataLength = static_cast<WORD>(4 * sizeof(WORD) + data.printOffset + data.printLength +
                                      sizeof(wchar_t));
  bool made = false;
  {
    const UniqueFileHandle folder(CreateFileW(
        link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD returned = 0;
    made = folder && DeviceIoControl(folder.Get(), FSCTL_SET_REPARSE_POINT, &data,
                                     data.dataLength + 8u, nullptr, 0, &returned, nullptr);
  }
  if (!made) RemoveDirectoryW(link.c_str());
  return made && IsLink(link);
}

// Wine's own export, which the SDK does not declare: the host's name of a path.
using UnixFileName = char*(__cdecl*)(const wchar_t*);

std::string HostName(UnixFileName unixFileName, const std::wstring& path) {
  char* name = unixFileName(path.c_str());
  std::string text = name != nullptr ? name : "";
  HeapFree(GetProcessHeap(), 0, name);
  return text;
}

bool MakeHostSymlink(const std::wstring& link, const std::wstring& target) {
  const auto unixFileName =
      SystemProcedure<UnixFileName>(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
  if (unixFileName == nullptr) return false;
  std::wstring commandLine = L"ln -s \"" + FromUtf8(HostName(unixFileName, target)) + L"\" \"" +
                             FromUtf8(HostName(unixFileName, link)) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // Wine starts a host program by its path on drive Z:, but gives no handle to wait on.
  if (!CreateProcessW(L"Z:\\bin\\ln", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &info)) {
    return false;
  }
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  const ULONGLONG deadline = GetTickCount64() + kLinkWaitMs;
  while (!IsLink(link) && GetTickCount64() < deadline) Sleep(20);
  return IsLink(link);
}

}  // namespace

FolderLink MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (MakeJunction(link, target)) return FolderLink::kJunction;
  if (MakeHostSymlink(link, target)) return FolderLink::kHostSymlink;
  return FolderLink::kNone;
}

}  // namespace velmo::testing
