#include "support/ole_api.h"

#include "support/system_library.h"

namespace velmo {
namespace {

constexpr wchar_t kOle32[] = L"ole32.dll";
constexpr wchar_t kOleAut32[] = L"oleaut32.dll";

}  // namespace

OleApi::OleApi() {
  const HMODULE ole32 = LoadPinnedSystemLibrary(kOle32);
  coInitializeEx_ = RequiredProcedure<decltype(coInitializeEx_)>(ole32, kOle32, "CoInitializeEx");
  coUninitialize_ = RequiredProcedure<decltype(coUninitialize_)>(ole32, kOle32, "CoUninitialize");
  clsidFromProgId_ =
      RequiredProcedure<decltype(clsidFromProgId_)>(ole32, kOle32, "CLSIDFromProgID");
  coCreateInstance_ =
      RequiredProcedure<decltype(coCreateInstance_)>(ole32, kOle32, "CoCreateInstance");
  coTaskMemFree_ = RequiredProcedure<decltype(coTaskMemFree_)>(ole32, kOle32, "CoTaskMemFree");

  const HMODULE oleAut32 = LoadPinnedSystemLibrary(kOleAut32);
  sysAllocStringLen_ =
      RequiredProcedure<decltype(sysAllocStringLen_)>(oleAut32, kOleAut32, "SysAllocStringLen");
  sysFreeString_ =
      RequiredProcedure<decltype(sysFreeString_)>(oleAut32, kOleAut32, "SysFreeString");
  sysStringLen_ = RequiredProcedure<decltype(sysStringLen_)>(oleAut32, kOleAut32, "SysStringLen");
  variantInit_ = RequiredProcedure<decltype(variantInit_)>(oleAut32, kOleAut32, "VariantInit");
  variantClear_ = RequiredProcedure<decltype(variantClear_)>(oleAut32, kOleAut32, "VariantClear");
}

}  // namespace velmo
