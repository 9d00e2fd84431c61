// DPI queries that use the per-monitor functions where the system has them (Windows 10) and
// fall back to the system DPI on older systems.
#pragma once
#include <windows.h>

namespace velmo {

// The DPI the window is shown at.
int WindowDpi(HWND window);

// The outer size of a window whose client area is `clientWidth` x `clientHeight` pixels.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, int dpi);

}  // namespace velmo
