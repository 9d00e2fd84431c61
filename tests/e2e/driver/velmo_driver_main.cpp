// velmo_driver.exe: the GUI driver for shell scripts. Each call does one thing and prints UTF-8.
//
//   velmo_driver start <tool.exe> [NAME=VALUE | -NAME]...   start the tool (environment changed
//                                                          as given), print its pid, leave it running
//   velmo_driver <pid> wait-window [ms]        exit 0 once the main window is visible
//   velmo_driver <pid> controls                one line per control: id, class, rect, flags, text
//   velmo_driver <pid> window-rect             the main window on the screen: left top width height
//   velmo_driver <pid> click <id>              click a button of the main window
//   velmo_driver <pid> text <id>               print a control's text
//   velmo_driver <pid> set-text <id> <text>    replace a control's text
//   velmo_driver <pid> box [ms]                wait for a message box and print it (title, text,
//                                              buttons, icon, owner, rect on the screen)
//   velmo_driver <pid> answer <button> [ms]    wait for a box, print it, press the button (1 OK,
//                                              2 Cancel, 6 Yes, 7 No)
//   velmo_driver <pid> screenshot <file.bmp> [window|box]
//                                              save what the screen shows of the main window
//                                              (default) or of the message box that is up
//   velmo_driver <pid> close [ms]              close the main window, print the exit code
//   velmo_driver <pid> wait-exit [ms]          wait for the process to end, print the exit code
//
// Exit code 0 on success, 1 when what was waited for did not come, 2 on a usage error.
// Texts are printed with CR as \r, LF as \n and backslash as \\.
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/text_codec.h"

namespace {

using velmo::e2e::BoxInfo;
using velmo::e2e::ToolProcess;

constexpr wchar_t kUsage[] =
    L"usage: velmo_driver start <tool.exe> [NAME=VALUE | -NAME]...\n"
    L"       velmo_driver <pid> wait-window|controls|window-rect|click|text|set-text|box|answer|"
    L"screenshot|close|wait-exit [arguments]\n";

void Print(const std::wstring& text) {
  const std::string bytes = velmo::ToUtf8(text);
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (c == L'\\') out += L"\\\\";
    else if (c == L'\r') out += L"\\r";
    else if (c == L'\n') out += L"\\n";
    else out += c;
  }
  return out;
}

std::wstring Hex(unsigned value) {
  wchar_t buffer[16];
  swprintf(buffer, 16, L"0x%08X", value);
  return buffer;
}

std::wstring RectText(const RECT& rect) {
  return std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
         std::to_wstring(rect.right - rect.left) + L" " + std::to_wstring(rect.bottom - rect.top);
}

void PrintBox(const BoxInfo& box) {
  RECT rect{};
  GetWindowRect(box.window, &rect);
  std::wstring buttons;
  for (const int id : box.buttons) buttons += (buttons.empty() ? L"" : L",") + std::to_wstring(id);
  Print(L"title: " + Escaped(box.title) + L"\n" + L"text: " + Escaped(box.text) + L"\n" +
        L"buttons: " + buttons + L"\n" + L"icon: " + (box.hasIcon ? L"yes" : L"no") +
        L" style " + Hex(box.iconStyle) + L"\n" + L"owned: " + (box.ownedByTool ? L"yes" : L"no") +
        L"\n" + L"rect: " + RectText(rect) + L"\n");
}

DWORD Milliseconds(const std::vector<std::wstring>& args, std::size_t index) {
  return index < args.size() ? static_cast<DWORD>(std::stoul(args[index]))
                             : velmo::e2e::kDefaultWaitMs;
}

int Start(const std::vector<std::wstring>& args) {
  if (args.size() < 2) {
    Print(kUsage);
    return 2;
  }
  velmo::e2e::EnvironmentChanges changes;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::wstring& change = args[i];
    const std::size_t equals = change.find(L'=');
    if (!change.empty() && change[0] == L'-') {
      changes[change.substr(1)] = std::nullopt;
    } else if (equals != std::wstring::npos && equals > 0) {
      changes[change.substr(0, equals)] = change.substr(equals + 1);
    } else {
      Print(kUsage);
      return 2;
    }
  }
  ToolProcess tool(args[1], changes);
  tool.Detach();
  Print(std::to_wstring(tool.Pid()) + L"\n");
  return 0;
}

int Command(ToolProcess& tool, const std::vector<std::wstring>& args) {
  const std::wstring& verb = args[1];
  if (verb == L"wait-window") return tool.WaitForMainWindow(Milliseconds(args, 2)) ? 0 : 1;
  if (verb == L"box" || verb == L"answer") {
    const bool answer = verb == L"answer";
    if (answer && args.size() < 3) return 2;
    const std::optional<BoxInfo> box = tool.WaitForBox(Milliseconds(args, answer ? 3 : 2));
    if (!box) return 1;
    PrintBox(*box);
    if (answer) tool.Answer(*box, std::stoi(args[2]));
    return 0;
  }
  if (verb == L"screenshot" && args.size() >= 3) {
    RECT area{};
    if (args.size() >= 4 && args[3] == L"box") {
      const std::optional<BoxInfo> box = tool.WaitForBox(0);
      if (!box) return 1;
      GetWindowRect(box->window, &area);
    } else if (tool.WaitForMainWindow() != nullptr) {
      area = tool.WindowRect();
    } else {
      return 1;
    }
    return velmo::e2e::SaveScreenshot(area, args[2]) ? 0 : 1;
  }
  if (verb == L"close" || verb == L"wait-exit") {
    const std::optional<DWORD> code =
        verb == L"close" ? tool.Close(Milliseconds(args, 2)) : tool.WaitForExit(Milliseconds(args, 2));
    if (!code) return 1;
    Print(std::to_wstring(*code) + L"\n");
    return 0;
  }
  if (tool.WaitForMainWindow() == nullptr) return 1;
  if (verb == L"controls") {
    for (const velmo::e2e::ControlInfo& control : tool.Controls()) {
      const RECT& r = control.rect;
      Print(std::to_wstring(control.id) + L"\t" + control.className + L"\t" +
            std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
            std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom) + L"\t" +
            Hex(control.style) + L"\t" + (control.focused ? L"focused " : L"") +
            (control.visible ? L"visible " : L"hidden ") +
            (control.enabled ? L"enabled" : L"disabled") + L"\t" + Escaped(control.text) + L"\n");
    }
    return 0;
  }
  if (verb == L"window-rect") {
    Print(RectText(tool.WindowRect()) + L"\n");
    return 0;
  }
  if (verb == L"click" && args.size() >= 3) {
    tool.Click(std::stoi(args[2]));
    return 0;
  }
  if (verb == L"text" && args.size() >= 3) {
    Print(Escaped(tool.ControlText(std::stoi(args[2]))) + L"\n");
    return 0;
  }
  if (verb == L"set-text" && args.size() >= 4) {
    tool.SetControlText(std::stoi(args[2]), args[3]);
    return 0;
  }
  Print(kUsage);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  if (args.empty()) {
    Print(kUsage);
    return 2;
  }
  try {
    if (args[0] == L"start") return Start(args);
    if (args.size() < 2) {
      Print(kUsage);
      return 2;
    }
    ToolProcess tool(static_cast<DWORD>(std::stoul(args[0])));
    tool.Detach();
    return Command(tool, args);
  } catch (const std::exception& error) {
    Print(L"velmo_driver: " + velmo::FromUtf8(error.what()) + L"\n");
    return 2;
  }
}
