// A copy of the substitute browser running from a path the test chooses, for as long as the
// object lives (the process is killed at the end).
#pragma once
#include <windows.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "gui_driver.h"

namespace velmo::e2e {

class RunningBrowser {
 public:
  // Copies the substitute browser to `exe` (its folder must exist), starts it without arguments
  // and waits until its window is up, so that the process is fully loaded.
  explicit RunningBrowser(const std::wstring& exe) : process_(Prepare(exe), {}) {
    const ULONGLONG deadline = GetTickCount64() + kDefaultWaitMs;
    while (!HasWindow()) {
      if (GetTickCount64() > deadline) throw std::runtime_error("substitute browser did not start");
      Sleep(20);
    }
  }

  // Ends the browser and waits until it is gone from the process list.
  void Stop() {
    CloseTopLevelWindows(kWindowClass);
    if (!process_.WaitForExit().has_value()) throw std::runtime_error("browser did not end");
  }

 private:
  static constexpr wchar_t kWindowClass[] = L"VelmoSubstituteBrowser";

  static const std::wstring& Prepare(const std::wstring& exe) {
    if (!CopyFileW((TestProgramFolder() + L"\\velmoexplorer.exe").c_str(), exe.c_str(), FALSE)) {
      throw std::runtime_error("cannot copy the substitute browser");
    }
    return exe;
  }

  bool HasWindow() {
    for (HWND window : FindTopLevelWindows(kWindowClass)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(window, &pid);
      if (pid == process_.Pid()) return true;
    }
    return false;
  }

  ToolProcess process_;
};

}  // namespace velmo::e2e
