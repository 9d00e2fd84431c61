// The tool's one window: its controls, its start-up and the six buttons' handlers.
#pragma once
#include <windows.h>

#include <string>

#include "app/context.h"
#include "app/ui.h"
#include "support/unique_handle.h"

namespace velmo {

// Texts of the start-up.
inline constexpr wchar_t kMissingBrowserTitle[] = L"错问题提示";
inline constexpr wchar_t kMissingBrowserText[] =
    L"请将工具放置在Velmo浏览器程序安装目录下再运行。\r\n点击“确定”关闭工具";
inline constexpr wchar_t kVersionLinePrefix[] = L"当前目录下的Velmo浏览器版本号是：";
inline constexpr wchar_t kConfigLinePrefix[] = L"配置存放路径：";
inline constexpr wchar_t kCacheLinePrefix[] = L"缓存存放路径：";
inline constexpr wchar_t kWindowClassName[] = L"VelmoPortableMakerForm1";

class Form1 final : public Ui {
 public:
  Form1(HINSTANCE instance, Context context);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window, runs the start-up, shows the window and runs its message loop until the
  // window is closed. Returns the process exit code.
  int Run(int showCommand);

  // Ui
  int MsgBox(const std::wstring& text, unsigned style, const std::wstring& title) override;
  [[noreturn]] void EndNow() override;
  std::wstring Text1() const override;
  void SetText1(const std::wstring& text) override;
  std::wstring ShowFolderDialog() override;
  void ShowPathFileLines() override;
  bool StartAgainAsAdministrator() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void Form_Initialize();
  void SetFrameStyle();
  void CreateControls();
  void ApplyDpi(int dpi);
  void CentreOnScreen();
  void CheckMovedInstallation();

  void Command1_Click();
  void Command2_Click();
  void Command3_Click();
  void Command4_Click();
  void Command5_Click();
  void Command6_Click();
  void RunHandler(void (Form1::*handler)());
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
