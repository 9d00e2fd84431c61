#include "commands/default_browser_repair.h"

#include "commands/launch_commands.h"
#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/path_text.h"
#include "support/shell_association.h"

namespace velmo {
namespace {

constexpr wchar_t kWebProtocol[] = L"http";
constexpr wchar_t kExecutableSuffix[] = L".exe";

constexpr wchar_t kQuestionStart[] = L"检测到系统默认浏览器指向的Velmo浏览器已不存在：\r\n";
constexpr wchar_t kQuestionEnd[] =
    L"\r\n其他程序中的网页链接将无法打开。\r\n是否将当前目录下的Velmo浏览器设置为默认浏览器？";

// The program a command line runs: its quoted first token, or the text up to the first ".exe"
// that ends the command or is followed by a space. Empty when there is none (an unclosed quote).
std::wstring_view ProgramOf(std::wstring_view command) {
  while (!command.empty() && command.front() == L' ') command.remove_prefix(1);
  if (!command.empty() && command.front() == L'"') {
    const std::size_t close = command.find(L'"', 1);
    return close == std::wstring_view::npos ? std::wstring_view() : command.substr(1, close - 1);
  }
  const std::size_t suffix = std::char_traits<wchar_t>::length(kExecutableSuffix);
  for (std::size_t end = suffix; end <= command.size(); ++end) {
    if (SameName(command.substr(end - suffix, suffix), kExecutableSuffix) &&
        (end == command.size() || command[end] == L' ')) {
      return command.substr(0, end);
    }
  }
  return {};
}

// <installDir>\velmoexplorer.exe with one separator, also at a drive root.
std::wstring BrowserIn(std::wstring_view installDir) {
  return std::wstring(WithoutTrailingSeparators(installDir)) + L"\\" + browser::kExecutableName;
}

}  // namespace

std::optional<std::wstring> MissingVelmoDefaultBrowser(
    std::wstring_view command, std::wstring_view installDir,
    const std::function<bool(const std::wstring&)>& fileExists) {
  const std::wstring program(ProgramOf(command));
  if (!StartsWithDriveLetter(program) ||
      !SameName(LastComponent(program), browser::kExecutableName) ||
      SameName(program, BrowserIn(installDir)) || fileExists(program)) {
    return std::nullopt;
  }
  return program;
}

void OfferDefaultBrowserRepair(const Context& context, Ui& ui) {
  const std::optional<std::wstring> command = ProtocolOpenCommand(kWebProtocol);
  if (!command) return;
  const std::optional<std::wstring> missing = MissingVelmoDefaultBrowser(
      *command, context.installDir, [](const std::wstring& path) { return FileExists(path); });
  if (!missing || ui.Ask(kQuestionStart + *missing + kQuestionEnd) != Answer::kYes) return;
  // The very command of the default-browser button: its command line, window state and box.
  SetAsDefaultBrowser(context, ui);
}

}  // namespace velmo
