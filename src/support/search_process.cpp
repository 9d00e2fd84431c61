#include "support/search_process.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "support/unique_handle.h"

namespace velmo {
namespace {

// Room for the longest path the system can report (UNICODE_STRING limit).
constexpr DWORD kLongestPath = 32768;

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The main module's path, read from the process's module list. Needs query and read access,
// which a process of another bitness, user or integrity level may refuse.
std::wstring MainModulePathFromModules(DWORD processId) {
  const UniqueHandle process(
      OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) return {};
  HMODULE modules[1] = {};
  DWORD needed = 0;
  if (!EnumProcessModules(process.Get(), modules, static_cast<DWORD>(sizeof modules), &needed)) {
    return {};
  }
  std::wstring path(kLongestPath, L'\0');
  const DWORD length = GetModuleFileNameExW(process.Get(), modules[0], path.data(), kLongestPath);
  path.resize(length);
  return path;
}

// The image path as the kernel knows it: works with limited query access only, for 32- and
// 64-bit processes alike and for most elevated ones.
std::wstring ImagePathFromKernel(DWORD processId) {
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};
  std::wstring path(kLongestPath, L'\0');
  DWORD length = kLongestPath;
  if (!QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length)) return {};
  path.resize(length);
  return path;
}

// The kernel's answer is asked first: it needs only limited access and costs a fraction of a
// module listing, which is kept for the processes that refuse it.
std::wstring MainExecutablePath(DWORD processId) {
  std::wstring path = ImagePathFromKernel(processId);
  if (path.empty()) path = MainModulePathFromModules(processId);
  return path;
}

}  // namespace

bool IsProcessRunning(const std::wstring& name) {
  if (name.empty()) return false;
  const std::wstring wanted = Lower(name);

  const UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = static_cast<DWORD>(sizeof entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more;
       more = Process32NextW(snapshot.Get(), &entry)) {
    // A process of another user or session may refuse to tell its path: its executable's name
    // from the snapshot is all there is, and is held to the same rule.
    std::wstring path = MainExecutablePath(entry.th32ProcessID);
    if (path.empty()) path = entry.szExeFile;
    if (Lower(path).find(wanted) != std::wstring::npos) return true;
  }
  return false;
}

}  // namespace velmo
