// The per-monitor DPI functions are declared for Windows 10 and later only. This unit looks them
// up at run time, typed from those declarations, and falls back where they are missing; nothing
// here calls them directly, so the executable still starts on Windows 7.
#undef WINVER
#define WINVER 0x0A00
#include "window/window_dpi.h"

#include "support/system_library.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr int kDefaultDpi = 96;

// user32 is loaded in every GUI process: looking an export up never loads a DLL.
HMODULE User32() { return GetModuleHandleW(L"user32.dll"); }

}  // namespace

int WindowDpi(HWND window) {
  const auto getDpiForWindow =
      SystemProcedure<decltype(&::GetDpiForWindow)>(User32(), "GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  const UniqueScreenDc screen(GetDC(nullptr));
  const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSX) : kDefaultDpi;
  return dpi > 0 ? dpi : kDefaultDpi;
}

SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi) {
  const auto adjustForDpi = SystemProcedure<decltype(&::AdjustWindowRectExForDpi)>(
      User32(), "AdjustWindowRectExForDpi");
  RECT rect{0, 0, clientWidth, clientHeight};
  if (adjustForDpi != nullptr) {
    adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
  } else {
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace velmo
