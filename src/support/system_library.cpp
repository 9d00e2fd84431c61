#include "support/system_library.h"

#include <string>

#include "support/platform_error.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

constexpr wchar_t kLoadOperation[] = L"加载系统组件";
constexpr wchar_t kProcedureOperation[] = L"查找系统组件中的函数";

std::wstring SystemDirectory() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

}  // namespace

std::vector<const wchar_t*> DllsToPreload(bool defaultDirectoriesAvailable) {
  if (defaultDirectoriesAvailable) return {};
  // Not among the system's KnownDLLs, and loaded by name by the shell, its copy engine, the
  // folder browser and COM: without SetDefaultDllDirectories such a load searches the
  // application folder (the browser's, full of another vendor's DLLs) before System32.
  return {L"uxtheme.dll", L"userenv.dll", L"setupapi.dll", L"apphelp.dll", L"propsys.dll",
          L"dwmapi.dll",  L"cryptbase.dll", L"oleacc.dll", L"clbcatq.dll", L"version.dll"};
}

void RestrictDllSearchToSystem32() {
  // kernel32 is always loaded; the export is missing only on Windows 7 without KB2533623.
  const auto setDefault = SystemProcedure<decltype(&::SetDefaultDllDirectories)>(
      GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A module already loaded is found by its name without a search. One the system lacks is
  // no reason not to start.
  for (const wchar_t* name : DllsToPreload(setDefault != nullptr)) {
    SkipIfFails([&] { LoadPinnedSystemLibrary(name); });
  }
  // Also take the current directory out of the legacy search order.
  SetDllDirectoryW(L"");
}

UniqueModule LoadSystemLibrary(const wchar_t* name) {
  // A full path works on every supported system and never consults the application folder.
  const std::wstring directory = SystemDirectory();
  if (directory.empty()) return UniqueModule();
  const std::wstring fullPath = directory + L"\\" + name;
  return UniqueModule(LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

HMODULE LoadPinnedSystemLibrary(const wchar_t* name) {
  const UniqueModule loaded = LoadSystemLibrary(name);
  if (!loaded) ThrowLastError(kLoadOperation, name);
  // The module's base address lies inside the module; pinning it makes the FreeLibrary of
  // `loaded` (and of any later load) leave it in place.
  HMODULE pinned = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                          reinterpret_cast<const wchar_t*>(loaded.Get()), &pinned)) {
    ThrowLastError(kLoadOperation, name);
  }
  return pinned;
}

void ThrowMissingProcedure(const wchar_t* dllName, const char* name) {
  // Export names are ASCII, which reads the same as UTF-8.
  ThrowError(kProcedureOperation, std::wstring(dllName) + L"!" + FromUtf8(name),
             ERROR_PROC_NOT_FOUND);
}

}  // namespace velmo
