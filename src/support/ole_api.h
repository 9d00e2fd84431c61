// The COM and automation functions of ole32.dll and oleaut32.dll that the tool calls. The window
// starts without these DLLs, which keeps start-up short: only a command that works with COM
// objects loads them, from System32, when it makes an OleApi; they then stay loaded for the rest
// of the process, so the next OleApi is cheap.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

namespace velmo {

class OleApi {
 public:
  // Loads both DLLs and finds every function. Throws PlatformError when one is missing.
  OleApi();

  // CoInitializeEx with a single-threaded apartment, and its counterpart CoUninitialize.
  HRESULT EnterApartment() const { return coInitializeEx_(nullptr, COINIT_APARTMENTTHREADED); }
  void LeaveApartment() const { coUninitialize_(); }

  HRESULT ClassFromProgId(const wchar_t* progId, CLSID* classId) const {
    return clsidFromProgId_(progId, classId);
  }
  HRESULT CreateInstance(const CLSID& classId, DWORD context, const IID& interfaceId,
                         void** object) const {
    return coCreateInstance_(classId, nullptr, context, interfaceId, object);
  }

  // Frees a string a COM method handed out (CoTaskMemFree).
  void FreeTaskMemory(void* memory) const { coTaskMemFree_(memory); }

  BSTR AllocString(const wchar_t* text, UINT length) const {
    return sysAllocStringLen_(text, length);
  }
  void FreeString(BSTR text) const { sysFreeString_(text); }
  UINT StringLength(BSTR text) const { return sysStringLen_(text); }

  void InitVariant(VARIANT* value) const { variantInit_(value); }
  HRESULT ClearVariant(VARIANT* value) const { return variantClear_(value); }

 private:
  decltype(&::CoInitializeEx) coInitializeEx_ = nullptr;
  decltype(&::CoUninitialize) coUninitialize_ = nullptr;
  decltype(&::CLSIDFromProgID) clsidFromProgId_ = nullptr;
  decltype(&::CoCreateInstance) coCreateInstance_ = nullptr;
  decltype(&::CoTaskMemFree) coTaskMemFree_ = nullptr;
  decltype(&::SysAllocStringLen) sysAllocStringLen_ = nullptr;
  decltype(&::SysFreeString) sysFreeString_ = nullptr;
  decltype(&::SysStringLen) sysStringLen_ = nullptr;
  decltype(&::VariantInit) variantInit_ = nullptr;
  decltype(&::VariantClear) variantClear_ = nullptr;
};

}  // namespace velmo
