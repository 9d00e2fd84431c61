// The tool's one window: its class and message loop, the start-up before it is shown and the
// checks offered once it shows, what the commands ask of it (Ui), and the six buttons' clicks and
// the system menu's restore item, each running one command.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "commands/start_up.h"
#include "model/context.h"
#include "model/ui.h"
#include "window/controls.h"

namespace velmo {

inline constexpr wchar_t kWindowClassName[] = L"VelmoPortableMakerMainWindow";

// The item the tool adds to its window's system menu: restoring the installed browser. Items an
// application adds there need an id below 0xF000 whose low four bits are zero, because the
// system uses those bits itself (WM_SYSCOMMAND documentation).
inline constexpr UINT kRestoreInstalledCommand = 0x0010;
inline constexpr wchar_t kRestoreInstalledMenuText[] = L"恢复为安装版(&I)...";

// Puts the restore item into `window`'s system menu, before 关闭 (SC_CLOSE) with a separator
// between them; at the end when the menu has no 关闭. False when the menu cannot be changed.
bool AddRestoreToSystemMenu(HWND window);

class MainWindow final : public Ui {
 public:
  MainWindow(HINSTANCE instance, Context context);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, runs the start-up, shows the window and runs its message loop until the
  // window is closed or a command ends the tool. Returns the process exit code.
  int Run(int showCommand);

  // Ui
  std::wstring CacheFolderText() const override;
  void SetCacheFolderText(const std::wstring& text) override;
  std::wstring ShowFolderDialog() override;
  void ShowPathFileLines() override;
  void Wait(DWORD ms) override;

 private:
  Answer ShowBox(BoxKind kind, const std::wstring& text, BoxTitle title) override;
  // Ends the tool: the window goes, so no further handler runs, and Run returns.
  void EndTool();

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // False when the tool ends before its window shows (the browser is not there).
  bool StartUp();
  void ApplyDpi(int dpi);
  void CentreOnScreen();
  void ShowStartUpError(const StartUpError& error);

  // A command as the window runs it: it says whether the tool goes on.
  using Command = AfterCommand (*)(const Context&, Ui&);
  // Drops the mouse and keyboard input queued for this thread.
  static void DropQueuedInput();
  // Runs `command` as the one handler of the moment, showing what it lets through.
  void RunHandler(Command command);
  // Runs what a button (WM_COMMAND) or the system menu (WM_SYSCOMMAND) item `id` stands for;
  // false when it stands for none.
  bool RunCommandFor(UINT message, UINT id);

  HWND Control(int id) const { return GetDlgItem(window_, id); }
  void SetControlText(int id, const std::wstring& text);

  HINSTANCE instance_;
  Context context_;
  HWND window_ = nullptr;
  HWND focusBeforeDeactivation_ = nullptr;
  bool handlerRunning_ = false;
  bool waiting_ = false;  // inside Wait, in the middle of a command's step
  std::optional<ControlFonts> fonts_;
};

}  // namespace velmo
