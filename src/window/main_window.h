// The tool's one window: its controls, its start-up and the six buttons' handlers.
#pragma once
#include <windows.h>

#include <string>

#include "model/context.h"
#include "model/ui.h"
#include "support/unique_handle.h"

namespace velmo {

// Texts of the start-up.
inline constexpr wchar_t kMissingBrowserTitle[] = L"错问题提示";
inline constexpr wchar_t kMissingBrowserText[] =
    L"请将工具放置在Velmo浏览器程序安装目录下再运行。\r\n点击“确定”关闭工具";
inline constexpr wchar_t kVersionLinePrefix[] = L"当前目录下的Velmo浏览器版本号是：";
inline constexpr wchar_t kConfigLinePrefix[] = L"配置存放路径：";
inline constexpr wchar_t kCacheLinePrefix[] = L"缓存存放路径：";
inline constexpr wchar_t kWindowClassName[] = L"VelmoPortableMakerMainWindow";

class MainWindow final : public Ui {
 public:
  MainWindow(HINSTANCE instance, Context context);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, runs the start-up, shows the window and runs its message loop until the
  // window is closed. Returns the process exit code.
  int Run(int showCommand);

  // Ui
  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override;
  [[noreturn]] void EndNow() override;
  std::wstring CacheFolderText() const override;
  void SetCacheFolderText(const std::wstring& text) override;
  std::wstring ShowFolderDialog() override;
  void ShowPathFileLines() override;
  bool StartAgainAsAdministrator() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void StartUp();
  void SetFrameStyle();
  void CreateControls();
  void ApplyDpi(int dpi);
  void CentreOnScreen();
  void CheckMovedInstallation();

  void OnSetClicked();
  void OnBrowseClicked();
  void OnMoveFolderClicked();
  void OnViewCacheClicked();
  void OnDefaultBrowserClicked();
  void OnLaunchClicked();
  void RunHandler(void (MainWindow::*handler)());
  void OnCommand(int id, int notification);

  HWND Control(int id) const { return GetDlgItem(window_, id); }
  void SetControlText(int id, const std::wstring& text);

  HINSTANCE instance_;
  Context context_;
  HWND window_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;
  int dpi_ = 96;
  bool handlerRunning_ = false;
  UniqueFont defaultFont_;
  UniqueFont headingFont_;
  UniqueFont textBoxFont_;
};

}  // namespace velmo
