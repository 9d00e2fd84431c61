#include "window/main_window.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <iterator>
#include <utility>

#include "commands/cache_redirection.h"
#include "commands/default_browser_repair.h"
#include "commands/installed_restore.h"
#include "commands/launch_commands.h"
#include "commands/moved_installation.h"
#include "commands/profile_relocation.h"
#include "commands/start_up.h"
#include "support/folder_picker.h"
#include "support/platform_error.h"
#include "support/unique_handle.h"
#include "window/controls.h"
#include "window/main_window_layout.h"
#include "window/message_box_form.h"
#include "window/window_dpi.h"

namespace velmo {
namespace {

// The frame keeps its title bar but can be neither maximised nor resized; it can be minimised and
// has a system menu. No WS_CLIPCHILDREN: the frames (group boxes) leave their inside to the
// window to paint.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr wchar_t kUnexpectedErrorText[] = L"操作未能完成：发生了意外错误。";
// The gear icon: ICON 1 in the executable's resources.
constexpr WORD kAppIconId = 1;

// A command that leaves the tool open whatever happens.
template <void (*command)(const Context&, Ui&)>
AfterCommand StaysOpen(const Context& context, Ui& ui) {
  command(context, ui);
  return AfterCommand::kStayOpen;
}

// What each button and the system menu's item run. The system menu's ids are apart from the
// controls': a WM_COMMAND never runs the restore, nor a WM_SYSCOMMAND a button's command. Enter
// (IDOK) and Esc (IDCANCEL) run nothing.
struct CommandSource {
  UINT message;  // WM_COMMAND (a button's click) or WM_SYSCOMMAND (a system menu item)
  UINT id;
  AfterCommand (*command)(const Context&, Ui&);
};
constexpr CommandSource kCommands[] = {
    {WM_COMMAND, kSetButton,
     [](const Context& context, Ui& ui) { return RelocateProfile(context, ui); }},
    {WM_COMMAND, kBrowseButton, &StaysOpen<&BrowseCacheFolder>},
    {WM_COMMAND, kMoveFolderButton, &MoveCacheFolder},
    {WM_COMMAND, kViewCacheButton, &StaysOpen<&ViewCacheFiles>},
    {WM_COMMAND, kDefaultBrowserButton, &StaysOpen<&SetAsDefaultBrowser>},
    {WM_COMMAND, kLaunchButton, &StaysOpen<&LaunchBrowser>},
    {WM_SYSCOMMAND, kRestoreInstalledCommand,
     [](const Context& context, Ui& ui) {
       RestoreInstalledProfile(context, ui);
       return AfterCommand::kStayOpen;
     }},
};

}  // namespace

bool AddRestoreToSystemMenu(HWND window) {
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return false;
  const int count = GetMenuItemCount(menu);
  int position = count;
  for (int index = 0; index < count; ++index) {
    if (GetMenuItemID(menu, index) == SC_CLOSE) position = index;
  }
  const auto insert = [&](UINT flags, UINT_PTR id, const wchar_t* text) {
    return InsertMenuW(menu, static_cast<UINT>(position++), MF_BYPOSITION | flags, id, text) != 0;
  };
  return insert(MF_STRING, kRestoreInstalledCommand, kRestoreInstalledMenuText) &&
         insert(MF_SEPARATOR, 0, nullptr);
}

MainWindow::MainWindow(HINSTANCE instance, Context context)
    : instance_(instance), context_(std::move(context)) {}

MainWindow::~MainWindow() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
}

int MainWindow::Run(int showCommand) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &MainWindow::WindowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kAppIconId));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(
      instance_, MAKEINTRESOURCEW(kAppIconId), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
      GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // A system colour index plus one stands for that colour's brush.
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kWindowClassName;
  if (RegisterClassExW(&windowClass) == 0) return 1;

  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClassName, kToolTitle, kWindowStyle,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                            nullptr, instance_, this);
  if (window_ == nullptr) return 1;

  if (!StartUp()) return 0;

  ShowWindow(window_, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
  UpdateWindow(window_);
  SetFocus(Control(kSetButton));
  // A portable folder carried elsewhere: offered once the user sees the window. Then a default
  // browser that names a Velmo browser no longer there, unless the window was closed meanwhile.
  RunHandler(&StaysOpen<&OfferMovedInstallationRepair>);
  if (IsWindow(window_)) RunHandler(&StaysOpen<&OfferDefaultBrowserRepair>);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

bool MainWindow::StartUp() {
  // Common controls version 6, through the manifest.
  InitCommonControls();
  // The controls and the layout stay as they are: the restore lives in the system menu.
  AddRestoreToSystemMenu(window_);
  CreateControls(window_, instance_);
  ApplyDpi(WindowDpi(window_));
  CentreOnScreen();
  // An interrupted Set or restore is settled (with its boxes) before the window shows anything,
  // as a command: nothing sent to the window meanwhile starts another.
  const StartUpTexts texts = [&] {
    handlerRunning_ = true;
    const ScopeGuard running([this] { handlerRunning_ = false; });
    return RunStartUp(context_, *this);
  }();
  if (texts.missingBrowser) {
    ShowStartUpError(*texts.missingBrowser);
    EndTool();
    return false;
  }
  SetCacheFolderText(texts.cacheFolder);
  SetControlText(kVersionLabel, texts.versionLine);
  // An unreadable path file is reported; the window still opens, with that line empty.
  if (texts.unreadablePathFile) ShowStartUpError(*texts.unreadablePathFile);
  SetControlText(kPathFileLabel, texts.pathFileLines);
  return true;
}

void MainWindow::ApplyDpi(int dpi) {
  // The fonts in use are deleted only once every control has been given the new ones.
  std::optional<ControlFonts> fonts(std::in_place, dpi);
  PlaceControls(window_, dpi, *fonts);
  fonts_ = std::move(fonts);
  // The client area is 7095 x 5535 twips whatever the frame around it.
  const SIZE outer = OuterSizeForClient(
      TwipsToPixels(kClientWidthTwips, dpi), TwipsToPixels(kClientHeightTwips, dpi),
      static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)),
      static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)), dpi);
  SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::CentreOnScreen() {
  RECT rect{};
  GetWindowRect(window_, &rect);
  const float screenWidth = static_cast<float>(GetSystemMetrics(SM_CXSCREEN));
  const float screenHeight = static_cast<float>(GetSystemMetrics(SM_CYSCREEN));
  const float width = static_cast<float>(rect.right - rect.left);
  const float height = static_cast<float>(rect.bottom - rect.top);
  // A window larger than the screen gets a negative left or top: its centre stays centred.
  const int left = static_cast<int>(std::floor((screenWidth - width) / 2.0f));
  const int top = static_cast<int>(std::floor((screenHeight - height) / 2.0f));
  SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::ShowPathFileLines() {
  try {
    SetControlText(kPathFileLabel, PathFilePanelLines(context_.installDir));
  } catch (const PlatformError& error) {
    SetControlText(kPathFileLabel, std::wstring());
    Fail(error);
  }
}

void MainWindow::ShowStartUpError(const StartUpError& error) {
  // Before the window is shown: the box has no owner.
  MessageBoxW(nullptr, error.text.c_str(), error.title.c_str(), MB_OK | MB_ICONERROR);
}

void MainWindow::DropQueuedInput() {
  // PM_QS_INPUT takes the thread's mouse and keyboard messages ("PeekMessage", wRemoveMsg).
  MSG input;
  while (PeekMessageW(&input, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
    if (input.message == WM_QUIT) {  // the window went meanwhile: left for the loop
      PostQuitMessage(static_cast<int>(input.wParam));
      break;
    }
  }
}

Answer MainWindow::ShowBox(BoxKind kind, const std::wstring& text, BoxTitle title) {
  const MessageBoxForm form = MessageBoxFormFor(kind, title);
  // A key pressed while a command was busy would go to the box as soon as it shows: an Enter
  // typed during a copy would answer a question (Yes is its default button) or close a report
  // unread. What was typed before the box is dropped; the box takes only what comes after.
  if (handlerRunning_) DropQueuedInput();
  // A box owned by a window gets no taskbar button of its own; before the window shows (the
  // start-up's boxes) it would have none at all, and is shown unowned.
  const HWND owner = IsWindowVisible(window_) ? window_ : nullptr;
  return AnswerFor(MessageBoxW(owner, text.c_str(), form.title, form.style));
}

void MainWindow::Wait(DWORD ms) {
  // Only paint messages are taken from the queue, and the messages other threads send (which
  // PeekMessage delivers in any case); clicks, keys and posted commands stay for the message
  // loop. A thread that has not called PeekMessage for 5 s is taken for not responding and its
  // window is ghosted (IsHungAppWindow).
  waiting_ = true;
  const ScopeGuard waiting([this] { waiting_ = false; });
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE)) {
      if (message.message == WM_QUIT) {
        // The window went meanwhile: the quit is left for the loop, and the pause is still
        // kept, so that the command's retries (an undo's among them) really wait.
        PostQuitMessage(static_cast<int>(message.wParam));
        const ULONGLONG now = GetTickCount64();
        if (now < end) Sleep(static_cast<DWORD>(end - now));
        return;
      }
      DispatchMessageW(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now),
                              QS_PAINT | QS_SENDMESSAGE);
  }
}

void MainWindow::EndTool() {
  // Without its window the message loop ends (WM_DESTROY posts the quit) and Run returns 0 to
  // wWinMain, which ends the process. Nothing in the libraries ends the process itself, so a test
  // program that drives a window never ends early.
  DestroyWindow(window_);
}

std::wstring MainWindow::CacheFolderText() const {
  HWND edit = Control(kCacheFolderEdit);
  const int length = GetWindowTextLengthW(edit);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(edit, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

void MainWindow::SetCacheFolderText(const std::wstring& text) {
  SetControlText(kCacheFolderEdit, text);
}

std::wstring MainWindow::ShowFolderDialog() { return BrowseForFolderPath(); }

void MainWindow::SetControlText(int id, const std::wstring& text) {
  SetWindowTextW(Control(id), text.c_str());
}

void MainWindow::RunHandler(Command command) {
  // One handler at a time: a click that arrives while the folder browser of another handler is
  // open is ignored.
  if (handlerRunning_) return;
  handlerRunning_ = true;
  AfterCommand after = AfterCommand::kStayOpen;
  try {
    after = command(context_, *this);
  } catch (const PlatformError& error) {
    Fail(error);
  } catch (...) {
    // Anything else a handler lets through: the tool stays open and takes the next click.
    Fail(kUnexpectedErrorText, BoxTitle::kTool);
  }
  // Clicks and keys the user gave while the command worked were meant for a window that did not
  // answer: they are dropped rather than run as a second command now.
  DropQueuedInput();
  handlerRunning_ = false;
  if (after == AfterCommand::kEndTool) EndTool();
}

bool MainWindow::RunCommandFor(UINT message, UINT id) {
  const auto* found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                   [&](const CommandSource& source) {
                                     return source.message == message && source.id == id;
                                   });
  if (found == std::end(kCommands)) return false;
  RunHandler(found->command);
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<MainWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    return 0;  // nothing may leave a window procedure
  }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) RunCommandFor(WM_COMMAND, LOWORD(wParam));
      return 0;
    case WM_SYSCOMMAND:
      // The system keeps the low four bits of the command for itself.
      if (RunCommandFor(WM_SYSCOMMAND, static_cast<UINT>(wParam & 0xFFF0))) return 0;
      break;
    case WM_ACTIVATE:
      // Keep the focused control across switches to other windows.
      if (LOWORD(wParam) == WA_INACTIVE) {
        focusBeforeDeactivation_ = GetFocus();
      } else if (focusBeforeDeactivation_ != nullptr &&
                 IsChild(window_, focusBeforeDeactivation_)) {
        SetFocus(focusBeforeDeactivation_);
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_CLOSE:
      // Sent during a wait, it would destroy the window in the middle of a step (a rename, a
      // copy): it is ignored then. During a question it still closes the window, which answers
      // nothing.
      if (waiting_) return 0;
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace velmo
