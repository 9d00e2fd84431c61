// Loading a DLL that is not one of the system's KnownDLLs. The tool lives in a folder full of
// another vendor's DLLs, so such a DLL is only ever loaded from the System32 folder.
#pragma once
#include <windows.h>

#include "support/unique_handle.h"

namespace velmo {

// Restricts the process's DLL search to System32 (first thing at start-up). Harmless where the
// call is unavailable; the tool then loads by full path anyway.
void RestrictDllSearchToSystem32();

// Loads `name` (for example L"version.dll") from the System32 folder only. Empty on failure.
UniqueModule LoadSystemLibrary(const wchar_t* name);

// The address of an export of a loaded module, cast to the function type the caller names.
template <typename Function>
Function SystemProcedure(const UniqueModule& module, const char* name) {
  if (!module) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module.Get(), name)));
}

}  // namespace velmo
