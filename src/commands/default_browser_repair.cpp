#include "commands/default_browser_repair.h"

#include <windows.h>

#include "commands/launch_commands.h"
#include "model/browser_layout.h"
#include "support/file_queries.h"
#include "support/path_text.h"
#include "support/shell_association.h"

namespace velmo {
namespace {

// Links open with either: Windows 10 and 11 let the user choose a program for each.
constexpr const wchar_t* kWebProtocols[] = {L"http", L"https"};
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
  return Below(installDir, browser::kExecutableName);
}
}  // namespace

bool FileIsMissing(unsigned driveType, bool rootPresent, unsigned long fileError) {
  // GetDriveTypeW: DRIVE_REMOVABLE "has removable media", DRIVE_FIXED "has fixed media"; a remote
  // drive may stall on the redirector's time-out, and DRIVE_NO_ROOT_DIR ("no volume is mounted")
  // or an empty card reader holds no answer about the file.
  const bool local = driveType == DRIVE_FIXED || driveType == DRIVE_REMOVABLE;
  return local && rootPresent &&
         (fileError == ERROR_FILE_NOT_FOUND || fileError == ERROR_PATH_NOT_FOUND);
}

bool ProgramFileIsMissing(const std::wstring& path) {
  const std::wstring root = path.substr(0, 2) + L"\\";
  const UINT driveType = GetDriveTypeW(root.c_str());
  const bool local = driveType == DRIVE_FIXED || driveType == DRIVE_REMOVABLE;
  // The queries raise no "insert a disk" box for an empty card reader.
  const bool rootPresent = local && EntryQueryError(root) == ERROR_SUCCESS;
  return FileIsMissing(driveType, rootPresent,
                       rootPresent ? EntryQueryError(path) : ERROR_SUCCESS);
}

std::optional<std::wstring> MissingVelmoDefaultBrowser(
    std::wstring_view command, std::wstring_view installDir,
    const std::function<bool(const std::wstring&)>& isMissing) {
  const std::wstring program(ProgramOf(command));
  if (!StartsWithDriveLetter(program) ||
      !SameName(LastComponent(program), browser::kExecutableName) ||
      SameName(program, BrowserIn(installDir)) || !isMissing(program)) {
    return std::nullopt;
  }
  return program;
}

namespace {

// The missing Velmo browser the default for http or https names; nullopt when there is none or
// the association cannot be told.
std::optional<std::wstring> MissingDefaultBrowser(const std::wstring& installDir) {
  for (const wchar_t* protocol : kWebProtocols) {
    const std::optional<std::wstring> command = ProtocolOpenCommand(protocol);
    if (!command) continue;
    if (auto missing = MissingVelmoDefaultBrowser(*command, installDir, ProgramFileIsMissing)) {
      return missing;
    }
  }
  return std::nullopt;
}

}  // namespace

void OfferDefaultBrowserRepair(const Context& context, Ui& ui) {
  const std::optional<std::wstring> missing = MissingDefaultBrowser(context.installDir);
  if (!missing) return;
  // The rights are read only when there is something to ask about. Another or an unknown
  // account could only be refused on Yes: it is not asked at all.
  const RightsDecision rights = context.rights();
  if (rights.account != DesktopAccount::kDesktopUser ||
      ui.Ask(kQuestionStart + *missing + kQuestionEnd) != Answer::kYes) {
    return;
  }
  // The very command of the default-browser button (its command line, window state and box),
  // with the rights just asked.
  Context asked = context;
  asked.rights = [rights] { return rights; };
  SetAsDefaultBrowser(asked, ui);
}

}  // namespace velmo
