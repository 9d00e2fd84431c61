// The yardstick for the tool's start-up at its floor: the tool's window as the platform makes it,
// without the tool's own work. It carries the tool's resources (icon, common controls v6
// manifest, version), imports the same DLLs, and builds the same window: the same class with the
// gear icon, the same frame, the sixteen controls of the layout table made, given their fonts
// and placed by the tool's own window code at the window's DPI, sized, centred, shown and
// focused on Set. What it leaves out is what the tool reads and decides before it shows the
// window (the installation, the path file, the browser's version, an interrupted Set) and the
// texts that fills in. The tool's start-up divided by this one is what its own work costs.
#include <windows.h>
#include <commctrl.h>

#include <cmath>

#include "window/controls.h"
#include "window/main_window_layout.h"
#include "window/window_dpi.h"

namespace {

// The tool's frame: a title bar and a system menu, minimisable, neither resizable nor
// maximisable.
constexpr DWORD kFrameStyle = WS_OVERLAPPEDWINDOW & ~static_cast<DWORD>(WS_MAXIMIZEBOX | WS_THICKFRAME);
constexpr WORD kAppIconId = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kAppIconId));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(
      instance, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = L"VelmoBenchControlsWindow";
  return RegisterClassExW(&windowClass) != 0;
}

// The client area at `dpi` as large as the tool's, the window centred on the screen.
void SizeAndCentre(HWND window, int dpi) {
  const SIZE outer = velmo::OuterSizeForClient(
      velmo::TwipsToPixels(velmo::kClientWidthTwips, dpi),
      velmo::TwipsToPixels(velmo::kClientHeightTwips, dpi), kFrameStyle, WS_EX_CONTROLPARENT, dpi);
  const int left = static_cast<int>(std::floor((GetSystemMetrics(SM_CXSCREEN) - outer.cx) / 2.0f));
  const int top = static_cast<int>(std::floor((GetSystemMetrics(SM_CYSCREEN) - outer.cy) / 2.0f));
  SetWindowPos(window, nullptr, left, top, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  InitCommonControls();
  if (!RegisterWindowClass(instance)) return 1;
  HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, L"VelmoBenchControlsWindow",
                                L"Controls window", kFrameStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  velmo::CreateControls(window, instance);
  const int dpi = velmo::WindowDpi(window);
  const velmo::ControlFonts fonts(dpi);
  velmo::PlaceControls(window, dpi, fonts);
  SizeAndCentre(window, dpi);

  ShowWindow(window, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
  UpdateWindow(window);
  SetFocus(GetDlgItem(window, velmo::kSetButton));
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
