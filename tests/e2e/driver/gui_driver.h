// Drives the real tool under Wine for the end-to-end tests: starts it with a chosen environment,
// finds its window, clicks buttons, reads and answers message boxes, reads controls.
// Every wait polls every 20 ms up to a deadline and never blocks on the tool.
#pragma once
#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velmo::e2e {

inline constexpr DWORD kDefaultWaitMs = 15000;

struct ControlInfo {
  int id = 0;
  std::wstring className;
  std::wstring text;
  RECT rect{};  // in the main window's client coordinates
  DWORD style = 0;
  bool focused = false;
  bool visible = false;
  bool enabled = false;
};

struct BoxInfo {
  HWND window = nullptr;
  std::wstring title;
  std::wstring text;            // the box's message text (CR LF as given)
  std::vector<int> buttons;     // ids of the buttons present: IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7
  bool hasIcon = false;         // an icon is shown
  // MB_ICONERROR (0x10), MB_ICONINFORMATION (0x40), ... or 0 when there is none. Found by
  // comparing the icon's pixels on the screen with the system icons (icon handles do not compare
  // across processes under Wine), so the box must not be covered by another window.
  unsigned iconStyle = 0;
  bool ownedByTool = false;     // the box is owned by the tool's main window, shown or hidden
};

// Environment changes for the started tool: a value sets the variable, nullopt removes it.
using EnvironmentChanges = std::map<std::wstring, std::optional<std::wstring>>;

class ToolProcess {
 public:
  // Starts `exe` (full path) with the current environment changed as given, the working directory
  // set to `workingDir` (or the exe's folder when empty). Throws std::runtime_error on failure.
  ToolProcess(const std::wstring& exe, const EnvironmentChanges& environment,
              const std::wstring& workingDir = L"");
  // Attaches to a tool process that is already running (the driver's command line uses this).
  explicit ToolProcess(DWORD pid);
  ~ToolProcess();  // kills the process if it still runs, unless detached
  // Leaves the process running when this object ends.
  void Detach();
  // True once the process has ended.
  bool Ended() const;
  ToolProcess(const ToolProcess&) = delete;
  ToolProcess& operator=(const ToolProcess&) = delete;

  DWORD Pid() const;

  // The visible main window (class VelmoPortableMakerMainWindow), or nullptr after the deadline.
  HWND WaitForMainWindow(DWORD timeoutMs = kDefaultWaitMs);
  // A visible message box (#32770) of the process, or nullopt after the deadline.
  std::optional<BoxInfo> WaitForBox(DWORD timeoutMs = kDefaultWaitMs);
  // Answers a box by pressing `buttonId` and waits until it has gone.
  void Answer(const BoxInfo& box, int buttonId);

  // Posts a click to the main window's control with this id.
  void Click(int controlId);
  // Posts the system-menu command with this id to the main window, as choosing the item does
  // (another process cannot read the window's system menu).
  void SystemCommand(UINT commandId);
  std::vector<ControlInfo> Controls();
  std::optional<ControlInfo> Control(int controlId);
  std::wstring ControlText(int controlId);
  void SetControlText(int controlId, const std::wstring& text);
  // The window's outer rectangle and style, and its client size in pixels.
  RECT WindowRect();
  DWORD WindowStyle();
  SIZE ClientSize();

  // The exit code once the process has ended, or nullopt after the deadline.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs = kDefaultWaitMs);
  // Closes the main window (WM_CLOSE) and waits for the process to end.
  std::optional<DWORD> Close(DWORD timeoutMs = kDefaultWaitMs);

 private:
  PROCESS_INFORMATION info_{};
  HWND main_ = nullptr;
  bool detached_ = false;
};

// The screen's device context for as long as the object lives.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

// The visible top-level windows of any process with this class (and title, when not empty).
std::vector<HWND> FindTopLevelWindows(const std::wstring& className, const std::wstring& title = L"");

// The tool's executable, the substitute browsers and other build outputs: the folder of the
// running test program.
std::wstring TestProgramFolder();

// --- Additions for setting up scenarios ------------------------------------------------------

// The tool's executable as built: TestProgramFolder() + "\velmo_portable.exe".
std::wstring ToolExecutable();

// The substitute browser builds: version 1.2.3.4, version 1.2.65535.4, no version resource.
enum class BrowserVariant { Version1234, Version65535, NoVersion };

// Copies the tool (under `toolName`) and the chosen substitute browser (as velmoexplorer.exe)
// into `folder`, which must exist. Returns the full path of the copied tool.
std::wstring SetUpInstallation(const std::wstring& folder,
                               BrowserVariant variant = BrowserVariant::Version1234,
                               const std::wstring& toolName = L"velmo_portable.exe");

// Runs `exe` with `arguments` (and the environment changed as given) until it ends; its exit
// code, or nullopt when it was still running at the deadline (it is then ended).
std::optional<DWORD> RunToEnd(const std::wstring& exe, const std::wstring& arguments,
                              const EnvironmentChanges& environment,
                              DWORD timeoutMs = kDefaultWaitMs);

// One start of the substitute browser, as it recorded it in velmoexplorer.log beside itself.
struct BrowserStart {
  DWORD pid = 0;
  bool useShowWindow = false;  // STARTF_USESHOWWINDOW was set
  int showWindow = 0;          // STARTUPINFO.wShowWindow
  std::wstring commandLine;    // GetCommandLineW() as the browser saw it
};
// Every start recorded in `installDir`\velmoexplorer.log, oldest first (none when no log).
std::vector<BrowserStart> ReadBrowserLog(const std::wstring& installDir);

// Keeps a file (or folder) open without any sharing, through the velmo_holdfile.exe fixture, for
// as long as the object lives, so that the tool cannot read, copy or delete it.
// Throws std::runtime_error when the file could not be held.
class FileHolder {
 public:
  explicit FileHolder(const std::wstring& path);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

 private:
  PROCESS_INFORMATION info_{};
};

// A desktop shell (the velmo_desktop_shell.exe fixture) for as long as the object lives: the tool
// finds a shell of its own account and elevation, as on a Windows desktop. Throws
// std::runtime_error when the fixture could not register its window.
class DesktopShell {
 public:
  DesktopShell();
  ~DesktopShell();  // closes the shell's window and waits until no shell window is left
  DesktopShell(const DesktopShell&) = delete;
  DesktopShell& operator=(const DesktopShell&) = delete;

 private:
  PROCESS_INFORMATION info_{};
  HWND window_ = nullptr;
};

// Saves what the screen shows in `area` (screen coordinates) as a 24-bit BMP file, read through
// Wine's own screen rather than the X server's, which may not hold every window's latest paint.
// Returns false when the file cannot be written.
bool SaveScreenshot(const RECT& area, const std::wstring& bmpFile);

// Posts WM_CLOSE to every visible window of this class (and title, when not empty) and waits
// until they are gone. Returns how many windows were closed.
int CloseTopLevelWindows(const std::wstring& className, const std::wstring& title = L"",
                         DWORD timeoutMs = kDefaultWaitMs);

}  // namespace velmo::e2e
