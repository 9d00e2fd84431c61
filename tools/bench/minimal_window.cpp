// The yardstick for the tool's start-up time: the least a Win32 program does to show a window
// (register a class, create the window, show it, run the message loop), built with the same
// compiler, flags and static runtime as the tool.
//
// Built a second time with VELMO_BENCH_TOOL_RUNTIME, it also pays what the tool's platform set-up
// costs before any of the tool's own work: the same DLLs imported (comctl32 beside user32 and
// gdi32; advapi32, which the tool imports too, comes with Wine's user32 here; the shell and COM
// DLLs are loaded only by the commands that need them), the common controls v6 manifest and
// InitCommonControls. The difference between the two builds is the part of the tool's start-up
// that its choice of platform parts decides.
#include <windows.h>

#ifdef VELMO_BENCH_TOOL_RUNTIME
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  (void)commandLine;
#ifdef VELMO_BENCH_TOOL_RUNTIME
  InitCommonControls();
#endif
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"VelmoBenchMinimalWindow";
  if (!RegisterClassExW(&windowClass)) return 1;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Minimal window",
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 473, 369,
                                nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
