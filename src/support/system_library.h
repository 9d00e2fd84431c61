// Loading a DLL that is not one of the system's KnownDLLs. The tool lives in a folder full of
// another vendor's DLLs, so such a DLL is only ever loaded from the System32 folder.
#pragma once
#include <windows.h>

#include <vector>

#include "support/unique_handle.h"

namespace velmo {

// Restricts the process's DLL search to System32 (first thing at start-up). Where the call is
// unavailable (Windows 7 without the update that brings SetDefaultDllDirectories), the DLLs the
// shell and COM load by name are loaded from System32 by full path first (DllsToPreload), so that
// a later load by name finds them loaded instead of searching the application folder.
void RestrictDllSearchToSystem32();

// The DLLs loaded from System32 before anything else runs: none where SetDefaultDllDirectories
// is available, else those the shell and COM load by name.
std::vector<const wchar_t*> DllsToPreload(bool defaultDirectoriesAvailable);

// Loads `name` (for example L"version.dll") from the System32 folder only. Empty on failure.
UniqueModule LoadSystemLibrary(const wchar_t* name);

// Loads `name` from the System32 folder for the rest of the process's life, as an import of the
// executable would be: the module is pinned, so no thread, window class or callback it leaves
// behind can outlive its code. Loading it again is cheap. Throws PlatformError on failure.
HMODULE LoadPinnedSystemLibrary(const wchar_t* name);

// The address of an export of a loaded module, cast to the function type the caller names.
template <typename Function>
Function SystemProcedure(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

template <typename Function>
Function SystemProcedure(const UniqueModule& module, const char* name) {
  return SystemProcedure<Function>(module.Get(), name);
}

// Throws PlatformError naming `dllName` and the export `name`, which the module lacks.
[[noreturn]] void ThrowMissingProcedure(const wchar_t* dllName, const char* name);

// Like SystemProcedure, for an export the caller cannot do without: throws PlatformError
// (ERROR_PROC_NOT_FOUND) when the module lacks it.
template <typename Function>
Function RequiredProcedure(HMODULE module, const wchar_t* dllName, const char* name) {
  const Function function = SystemProcedure<Function>(module, name);
  if (function == nullptr) ThrowMissingProcedure(dllName, name);
  return function;
}

}  // namespace velmo
