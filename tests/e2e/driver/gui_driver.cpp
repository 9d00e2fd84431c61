#include "gui_driver.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"
#include "window/main_window.h"

namespace velmo::e2e {
namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kSendTimeoutMs = 5000;
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageTextId = 0xFFFF;  // the static holding a message box's text
// The static holding a message box's icon: 0x14 on Windows, 0x440 (stc1) in Wine's template.
constexpr int kMessageIconIds[] = {0x14, 0x440};
// A box paints its icon once it is shown; a loaded machine can take seconds to get there.
constexpr DWORD kIconPaintWaitMs = 10000;
constexpr wchar_t kHoldFileClass[] = L"VelmoHoldFile";
constexpr wchar_t kBrowserLogName[] = L"velmoexplorer.log";

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<std::size_t>(std::max(length, 0)));
}

// The caption Windows keeps for the window (no message sent; fine for top-level windows).
std::wstring CaptionOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

// The text of a control of another process: WM_GETTEXT is marshalled across processes.
std::wstring TextOf(HWND control) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return CaptionOf(control);
  }
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return CaptionOf(control);
  }
  text.resize(std::min<std::size_t>(static_cast<std::size_t>(copied), text.size() - 1));
  return text;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

struct TopLevelQuery {
  DWORD pid = 0;  // 0: any process
  std::wstring className;
  std::wstring title;  // empty: any
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* query = reinterpret_cast<TopLevelQuery*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  if (query->pid != 0 && ProcessOf(window) != query->pid) return TRUE;
  if (!query->className.empty() && ClassOf(window) != query->className) return TRUE;
  if (!query->title.empty() && CaptionOf(window) != query->title) return TRUE;
  query->found.push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const std::wstring& className,
                                  const std::wstring& title) {
  TopLevelQuery query{pid, className, title, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

bool HasTreeView(HWND dialog) {
  return FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr) != nullptr;
}

// Polls `probe` every 20 ms until it gives a value or the deadline passes.
template <typename Probe>
auto PollUntil(DWORD timeoutMs, Probe probe) -> decltype(probe()) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (auto result = probe()) return result;
    if (GetTickCount64() >= deadline) return probe();
    Sleep(kPollMs);
  }
}

// Pixels of a rectangle, as 0x00RRGGBB values row by row, drawn by `paint` into a 32-bit bitmap.
// Owners of the GDI objects the pixel comparison makes.
struct GdiObjectDeleter {
  void operator()(void* object) const { DeleteObject(static_cast<HGDIOBJ>(object)); }
};
struct MemoryDcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using UniqueGdiObject = std::unique_ptr<void, GdiObjectDeleter>;
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

template <typename Paint>
std::vector<DWORD> PixelsOf(int width, int height, Paint paint) {
  std::vector<DWORD> pixels;
  const ScreenDc screen;
  const UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
  BITMAPINFO bitmapInfo{};
  bitmapInfo.bmiHeader.biSize = sizeof bitmapInfo.bmiHeader;
  bitmapInfo.bmiHeader.biWidth = width;
  bitmapInfo.bmiHeader.biHeight = -height;  // top-down
  bitmapInfo.bmiHeader.biPlanes = 1;
  bitmapInfo.bmiHeader.biBitCount = 32;
  bitmapInfo.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const UniqueGdiObject bitmap(
      CreateDIBSection(memory.get(), &bitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap) return pixels;
  const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  paint(memory.get(), screen.Get());
  GdiFlush();
  const DWORD* first = static_cast<const DWORD*>(bits);
  pixels.assign(first, first + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (DWORD& pixel : pixels) pixel &= 0x00FFFFFF;
  SelectObject(memory.get(), previous);
  return pixels;
}

std::vector<DWORD> IconOn(HICON icon, int width, int height, COLORREF background) {
  return PixelsOf(width, height, [&](HDC memory, HDC) {
    const RECT all{0, 0, width, height};
    const UniqueGdiObject brush(CreateSolidBrush(background));
    FillRect(memory, &all, static_cast<HBRUSH>(brush.get()));
    DrawIconEx(memory, 0, 0, icon, width, height, 0, nullptr, DI_NORMAL);
  });
}

bool Near(DWORD a, DWORD b) {
  for (int shift = 0; shift < 24; shift += 8) {
    const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (difference > 24 || difference < -24) return false;
  }
  return true;
}

// Share of the icon's opaque pixels that the screen shows in the icon's colours.
double Likeness(const std::vector<DWORD>& screen, HICON icon, int width, int height) {
  const std::vector<DWORD> onBlack = IconOn(icon, width, height, RGB(0, 0, 0));
  const std::vector<DWORD> onWhite = IconOn(icon, width, height, RGB(255, 255, 255));
  if (onBlack.size() != screen.size() || onWhite.size() != screen.size()) return 0;
  std::size_t opaque = 0;
  std::size_t alike = 0;
  for (std::size_t i = 0; i < screen.size(); ++i) {
    if (onBlack[i] != onWhite[i]) continue;  // transparent or blended with the background
    ++opaque;
    if (Near(onBlack[i], screen[i])) ++alike;
  }
  return opaque == 0 ? 0 : static_cast<double>(alike) / static_cast<double>(opaque);
}

// The icon style of a message box. Icon handles cannot be compared across processes under Wine,
// so the icon static's pixels on the screen are compared with the system icons drawn here.
// Returns 0 when the drawn icon matches none of them (it may not be painted yet).
unsigned IconStyleOnScreen(HWND iconStatic) {
  RECT rect{};
  GetClientRect(iconStatic, &rect);
  MapWindowPoints(iconStatic, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return 0;
  const std::vector<DWORD> screen = PixelsOf(width, height, [&](HDC memory, HDC desktop) {
    BitBlt(memory, 0, 0, width, height, desktop, rect.left, rect.top, SRCCOPY);
  });
  const std::pair<LPCWSTR, unsigned> candidates[] = {
      {MAKEINTRESOURCEW(32513), MB_ICONERROR},        // IDI_HAND
      {MAKEINTRESOURCEW(32514), MB_ICONQUESTION},     // IDI_QUESTION
      {MAKEINTRESOURCEW(32515), MB_ICONWARNING},      // IDI_EXCLAMATION
      {MAKEINTRESOURCEW(32516), MB_ICONINFORMATION},  // IDI_ASTERISK
  };
  unsigned best = 0;
  double bestLikeness = 0.9;  // below this nothing counts as a match
  for (const auto& [id, style] : candidates) {
    const double likeness = Likeness(screen, LoadIconW(nullptr, id), width, height);
    if (likeness > bestLikeness) {
      bestLikeness = likeness;
      best = style;
    }
  }
  return best;
}

BoxInfo DescribeBox(HWND box, HWND toolWindow) {
  BoxInfo info;
  info.window = box;
  info.title = CaptionOf(box);
  if (HWND text = GetDlgItem(box, kMessageTextId)) info.text = TextOf(text);
  for (int id = IDOK; id <= IDCONTINUE; ++id) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr && IsWindowVisible(button)) info.buttons.push_back(id);
  }
  for (const int iconId : kMessageIconIds) {
    HWND iconStatic = GetDlgItem(box, iconId);
    if (iconStatic == nullptr || !IsWindowVisible(iconStatic)) continue;
    DWORD_PTR icon = 0;
    SendMessageTimeoutW(iconStatic, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon);
    if (icon == 0) continue;
    info.hasIcon = true;
    info.iconStyle = PollUntil(kIconPaintWaitMs, [&] { return IconStyleOnScreen(iconStatic); });
  }
  const HWND owner = GetWindow(box, GW_OWNER);  // the window, shown or hidden (not yet found)
  info.ownedByTool =
      owner != nullptr && (owner == toolWindow || ClassOf(owner) == kWindowClassName);
  return info;
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The environment block for the started program: ours, changed as asked, sorted by name.
std::wstring EnvironmentBlock(const EnvironmentChanges& changes) {
  std::vector<std::pair<std::wstring, std::wstring>> entries;  // name (as written), NAME=value
  if (LPWCH strings = GetEnvironmentStringsW()) {
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += wcslen(entry) + 1) {
      const std::wstring line = entry;
      // Names may begin with '=' (the per-drive current folders): search from the second char.
      const std::size_t equals = line.find(L'=', 1);
      if (equals == std::wstring::npos) continue;
      entries.emplace_back(line.substr(0, equals), line);
    }
    FreeEnvironmentStringsW(strings);
  }
  for (const auto& [name, value] : changes) {
    const std::wstring key = Upper(name);
    std::erase_if(entries, [&](const auto& entry) { return Upper(entry.first) == key; });
    if (value) entries.emplace_back(name, name + L"=" + *value);
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return Upper(a.first) < Upper(b.first); });
  std::wstring block;
  for (const auto& entry : entries) {
    block += entry.second;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

PROCESS_INFORMATION StartProcess(const std::wstring& exe, const std::wstring& arguments,
                                 const std::wstring* environment, const std::wstring& workingDir) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const std::wstring folder = workingDir.empty() ? FolderOf(exe) : workingDir;
  std::wstring environmentCopy = environment != nullptr ? *environment : std::wstring();
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      environment != nullptr ? CREATE_UNICODE_ENVIRONMENT : 0,
                      environment != nullptr ? environmentCopy.data() : nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    throw std::runtime_error("cannot start " + ToUtf8(exe) + " (error " +
                             std::to_string(GetLastError()) + ")");
  }
  return info;
}

void EndProcess(PROCESS_INFORMATION& info) {
  if (info.hProcess != nullptr) {
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(info.hProcess, 1);
      WaitForSingleObject(info.hProcess, kDefaultWaitMs);
    }
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  info = PROCESS_INFORMATION{};
}

void CopyOrThrow(const std::wstring& from, const std::wstring& to) {
  if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
    throw std::runtime_error("cannot copy " + ToUtf8(from) + " to " + ToUtf8(to) + " (error " +
                             std::to_string(GetLastError()) + ")");
  }
}

}  // namespace

ToolProcess::ToolProcess(const std::wstring& exe, const EnvironmentChanges& environment,
                         const std::wstring& workingDir) {
  const std::wstring block = EnvironmentBlock(environment);
  info_ = StartProcess(exe, L"", &block, workingDir);
}

ToolProcess::ToolProcess(DWORD pid) {
  info_.hProcess = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                               FALSE, pid);
  if (info_.hProcess == nullptr) {
    throw std::runtime_error("no process " + std::to_string(pid));
  }
  info_.dwProcessId = pid;
}

ToolProcess::~ToolProcess() {
  if (detached_) {
    UniqueHandle process(info_.hProcess);
    UniqueHandle thread(info_.hThread);
  } else {
    EndProcess(info_);
  }
}

void ToolProcess::Detach() { detached_ = true; }

bool ToolProcess::Ended() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }

DWORD ToolProcess::Pid() const { return info_.dwProcessId; }

HWND ToolProcess::WaitForMainWindow(DWORD timeoutMs) {
  main_ = PollUntil(timeoutMs, [&]() -> HWND {
    const std::vector<HWND> found = TopLevelWindows(Pid(), kWindowClassName, L"");
    if (!found.empty()) return found.front();
    return Ended() ? HWND_MESSAGE : nullptr;  // no window will come
  });
  if (main_ == HWND_MESSAGE) main_ = nullptr;
  return main_;
}

std::optional<BoxInfo> ToolProcess::WaitForBox(DWORD timeoutMs) {
  const HWND box = PollUntil(timeoutMs, [&]() -> HWND {
    const std::vector<HWND> dialogs = TopLevelWindows(Pid(), kDialogClass, L"");
    // A message box holds its text in the static 0xFFFF; any other dialog but the folder
    // browser (the shell's overwrite question, for one) counts too.
    for (HWND dialog : dialogs) {
      if (GetDlgItem(dialog, kMessageTextId) != nullptr) return dialog;
    }
    for (HWND dialog : dialogs) {
      if (!HasTreeView(dialog)) return dialog;
    }
    return Ended() ? HWND_MESSAGE : nullptr;  // no box will come
  });
  if (box == nullptr || box == HWND_MESSAGE) return std::nullopt;
  if (main_ == nullptr) {
    const std::vector<HWND> found = TopLevelWindows(Pid(), kWindowClassName, L"");
    if (!found.empty()) main_ = found.front();
  }
  return DescribeBox(box, main_);
}

void ToolProcess::Answer(const BoxInfo& box, int buttonId) {
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, buttonId)));
  PollUntil(kDefaultWaitMs, [&] { return !IsWindow(box.window); });
}

void ToolProcess::Click(int controlId) {
  if (main_ == nullptr) WaitForMainWindow();
  PostMessageW(GetDlgItem(main_, controlId), BM_CLICK, 0, 0);
}

void ToolProcess::SystemCommand(UINT commandId) {
  if (main_ == nullptr) WaitForMainWindow();
  PostMessageW(main_, WM_SYSCOMMAND, commandId, 0);
}

std::vector<ControlInfo> ToolProcess::Controls() {
  std::vector<ControlInfo> controls;
  if (main_ == nullptr && WaitForMainWindow() == nullptr) return controls;
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &thread);
  for (HWND child = GetWindow(main_, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    ControlInfo info;
    info.id = GetDlgCtrlID(child);
    info.className = ClassOf(child);
    info.text = TextOf(child);
    GetWindowRect(child, &info.rect);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&info.rect), 2);
    info.style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
    info.focused = thread.hwndFocus == child;
    info.visible = IsWindowVisible(child) != FALSE;
    info.enabled = IsWindowEnabled(child) != FALSE;
    controls.push_back(std::move(info));
  }
  return controls;
}

std::optional<ControlInfo> ToolProcess::Control(int controlId) {
  for (ControlInfo& info : Controls()) {
    if (info.id == controlId) return std::move(info);
  }
  return std::nullopt;
}

std::wstring ToolProcess::ControlText(int controlId) {
  if (main_ == nullptr) WaitForMainWindow();
  HWND control = GetDlgItem(main_, controlId);
  return control == nullptr ? std::wstring() : TextOf(control);
}

void ToolProcess::SetControlText(int controlId, const std::wstring& text) {
  if (main_ == nullptr) WaitForMainWindow();
  DWORD_PTR result = 0;
  SendMessageTimeoutW(GetDlgItem(main_, controlId), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                      &result);
}

RECT ToolProcess::WindowRect() {
  RECT rect{};
  if (main_ == nullptr) WaitForMainWindow();
  GetWindowRect(main_, &rect);
  return rect;
}

DWORD ToolProcess::WindowStyle() {
  if (main_ == nullptr) WaitForMainWindow();
  return static_cast<DWORD>(GetWindowLongW(main_, GWL_STYLE));
}

SIZE ToolProcess::ClientSize() {
  RECT rect{};
  if (main_ == nullptr) WaitForMainWindow();
  GetClientRect(main_, &rect);
  return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

std::optional<DWORD> ToolProcess::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return code;
}

std::optional<DWORD> ToolProcess::Close(DWORD timeoutMs) {
  if (main_ == nullptr) WaitForMainWindow(0);
  if (main_ != nullptr) PostMessageW(main_, WM_CLOSE, 0, 0);
  return WaitForExit(timeoutMs);
}

std::vector<HWND> FindTopLevelWindows(const std::wstring& className, const std::wstring& title) {
  return TopLevelWindows(0, className, title);
}

std::wstring TestProgramFolder() {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return FolderOf(path);
}

std::wstring ToolExecutable() { return TestProgramFolder() + L"\\velmo_portable.exe"; }

std::wstring SetUpInstallation(const std::wstring& folder, BrowserVariant variant,
                               const std::wstring& toolName) {
  const wchar_t* browser = variant == BrowserVariant::Version1234    ? L"velmoexplorer.exe"
                           : variant == BrowserVariant::Version65535 ? L"velmoexplorer_65535.exe"
                                                                     : L"velmoexplorer_noversion.exe";
  const std::wstring tool = folder + L"\\" + toolName;
  CopyOrThrow(ToolExecutable(), tool);
  CopyOrThrow(TestProgramFolder() + L"\\" + browser, folder + L"\\velmoexplorer.exe");
  return tool;
}

std::optional<DWORD> RunToEnd(const std::wstring& exe, const std::wstring& arguments,
                              const EnvironmentChanges& environment, DWORD timeoutMs) {
  const std::wstring block = EnvironmentBlock(environment);
  PROCESS_INFORMATION info = StartProcess(exe, arguments, &block, L"");
  std::optional<DWORD> code;
  if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    code = exitCode;
  }
  EndProcess(info);
  return code;
}

std::vector<BrowserStart> ReadBrowserLog(const std::wstring& installDir) {
  std::vector<BrowserStart> starts;
  const std::optional<std::string> bytes =
      velmo::testing::ReadBytes(installDir + L"\\" + kBrowserLogName);
  if (!bytes) return starts;
  std::istringstream lines(*bytes);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    BrowserStart start;
    // pid=..\tuseshowwindow=..\tshow=..\tcmdline=<rest of the line>
    std::size_t position = 0;
    for (int field = 0; field < 4 && position != std::string::npos; ++field) {
      const std::size_t equals = line.find('=', position);
      if (equals == std::string::npos) break;
      const std::string key = line.substr(position, equals - position);
      const std::size_t tab = key == "cmdline" ? std::string::npos : line.find('\t', equals);
      const std::string value = line.substr(equals + 1, tab == std::string::npos
                                                            ? std::string::npos
                                                            : tab - equals - 1);
      if (key == "pid") start.pid = static_cast<DWORD>(std::stoul(value));
      else if (key == "useshowwindow") start.useShowWindow = value == "1";
      else if (key == "show") start.showWindow = std::stoi(value);
      else if (key == "cmdline") start.commandLine = FromUtf8(value);
      position = tab == std::string::npos ? std::string::npos : tab + 1;
    }
    starts.push_back(std::move(start));
  }
  return starts;
}

FileHolder::FileHolder(const std::wstring& path) {
  info_ = StartProcess(TestProgramFolder() + L"\\velmo_holdfile.exe", L"\"" + path + L"\"",
                       nullptr, L"");
  const DWORD pid = info_.dwProcessId;
  const HWND ready = PollUntil(kDefaultWaitMs, [&]() -> HWND {
    const std::vector<HWND> found = TopLevelWindows(pid, kHoldFileClass, L"");
    if (!found.empty()) return found.front();
    // Gave up (the file could not be opened): stop waiting at once.
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0) return HWND_MESSAGE;
    return nullptr;
  });
  if (ready == nullptr || ready == HWND_MESSAGE) {
    EndProcess(info_);
    throw std::runtime_error("cannot hold " + ToUtf8(path));
  }
}

FileHolder::~FileHolder() { EndProcess(info_); }

DesktopShell::DesktopShell() {
  info_ = StartProcess(TestProgramFolder() + L"\\velmo_desktop_shell.exe", L"", nullptr, L"");
  const DWORD pid = info_.dwProcessId;
  window_ = PollUntil(kDefaultWaitMs, [&]() -> HWND {
    DWORD owner = 0;
    GetWindowThreadProcessId(GetShellWindow(), &owner);
    if (owner == pid) return GetShellWindow();
    // Gave up (another shell is registered): stop waiting at once.
    return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0 ? HWND_MESSAGE : nullptr;
  });
  if (window_ == nullptr || window_ == HWND_MESSAGE) {
    EndProcess(info_);
    throw std::runtime_error("the desktop shell fixture could not register its window");
  }
}

DesktopShell::~DesktopShell() {
  PostMessageW(window_, WM_CLOSE, 0, 0);
  WaitForSingleObject(info_.hProcess, kDefaultWaitMs);
  EndProcess(info_);
  // The next scenario finds no shell (or none it can ask).
  PollUntil(kDefaultWaitMs, [&] { return GetShellWindow() == nullptr || !IsWindow(GetShellWindow()); });
}

bool SaveScreenshot(const RECT& area, const std::wstring& bmpFile) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  const std::vector<DWORD> pixels = PixelsOf(width, height, [&](HDC memory, HDC desktop) {
    BitBlt(memory, 0, 0, width, height, desktop, area.left, area.top, SRCCOPY);
  });
  if (pixels.empty()) return false;
  // Bottom-up rows of blue, green, red, each row padded to a multiple of four bytes.
  const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  std::string image(rowBytes * static_cast<std::size_t>(height), '\0');
  for (int y = 0; y < height; ++y) {
    char* row = image.data() + rowBytes * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const DWORD pixel = pixels[static_cast<std::size_t>(y) * width + x];
      row[x * 3 + 0] = static_cast<char>(pixel & 0xFF);
      row[x * 3 + 1] = static_cast<char>((pixel >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((pixel >> 16) & 0xFF);
    }
  }
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = static_cast<DWORD>(file.bfOffBits + image.size());
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(image.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  bytes += image;
  try {
    velmo::testing::WriteBytes(bmpFile, bytes);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

int CloseTopLevelWindows(const std::wstring& className, const std::wstring& title,
                         DWORD timeoutMs) {
  const std::vector<HWND> windows = FindTopLevelWindows(className, title);
  for (HWND window : windows) PostMessageW(window, WM_CLOSE, 0, 0);
  PollUntil(timeoutMs, [&] {
    return std::none_of(windows.begin(), windows.end(), [](HWND w) { return IsWindow(w); });
  });
  return static_cast<int>(windows.size());
}

}  // namespace velmo::e2e
