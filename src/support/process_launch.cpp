#include "support/process_launch.h"

#include "support/desktop_shell_start.h"
#include "support/file_queries.h"
#include "support/normal_user_start.h"
#include "support/path_text.h"
#include "support/platform_error.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kFileManagerName[] = L"explorer.exe";
constexpr wchar_t kFindWindowsFolderOperation[] = L"查找Windows文件夹";

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// No file or folder name can hold a quote; one in a path would end the quoted text early and
// turn the rest of the path into further arguments.
void RejectQuote(const std::wstring& path, const std::wstring& operation) {
  if (path.find(L'"') != std::wstring::npos) {
    ThrowError(operation, path, ERROR_INVALID_NAME);
  }
}

STARTUPINFOW StartupFor(WindowState state) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(state);
  return startup;
}

// CreateProcessW with the application named explicitly, so that the command line is never
// searched for a program, and without inheriting any of the tool's handles; the started process
// is let go at once.
void Start(const std::wstring& program, std::wstring commandLine, WindowState state,
           const std::wstring& operation, const std::wstring& workingFolder) {
  STARTUPINFOW startup = StartupFor(state);
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingFolder.c_str(), &startup, &created)) {
    ThrowLastError(operation, program);
  }
  const UniqueHandle thread(created.hThread);
  const UniqueHandle process(created.hProcess);
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are literal unless a quote follows them: then each one is doubled and the
    // quote itself escaped.
    if (c == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    backslashes = 0;
    quoted.push_back(c);
  }
  // The closing quote follows: the backslashes before it are doubled.
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

namespace {

// The arguments as the command line carries them after the program's name, each quoted.
std::wstring ArgumentsText(const std::vector<std::wstring>& arguments) {
  std::wstring text;
  for (const std::wstring& argument : arguments) {
    if (!text.empty()) text += L' ';
    text += QuoteArgument(argument);
  }
  return text;
}

// The program's name in quotes (read up to its closing quote with no escapes), then the
// arguments' text.
std::wstring CommandLineOf(const std::wstring& program, const std::wstring& argumentsText) {
  return argumentsText.empty() ? Quoted(program) : Quoted(program) + L" " + argumentsText;
}

}  // namespace

std::wstring BuildCommandLine(const std::wstring& program,
                              const std::vector<std::wstring>& arguments) {
  return CommandLineOf(program, ArgumentsText(arguments));
}

namespace {

// Starts `program` (an existing file, named in quotes) with `argumentsText` after its name, in
// its own folder, by the first of `routes` that works. A failed direct start is passed on; the
// shell's start and the normal-user token's give way to the next route when they fail.
bool StartByFirstRoute(const std::vector<StartRoute>& routes, const std::wstring& program,
                       const std::wstring& argumentsText, WindowState state,
                       const std::wstring& operation) {
  const std::wstring folder = ParentFolder(program);
  const std::wstring commandLine = CommandLineOf(program, argumentsText);
  for (const StartRoute route : routes) {
    switch (route) {
      case StartRoute::kDirect:
        Start(program, commandLine, state, operation, folder);
        return true;
      case StartRoute::kDesktopShell: {
        const auto throughShell = [&] {
          StartThroughDesktopShell(program, argumentsText, folder, static_cast<int>(state),
                                   operation);
        };
        if (SkipIfFails(throughShell)) return true;
        break;
      }
      case StartRoute::kNormalUserToken: {
        STARTUPINFOW startup = StartupFor(state);
        const auto withNormalUserToken = [&] {
          StartAsNormalUser(program, commandLine, folder, startup, operation);
        };
        if (SkipIfFails(withNormalUserToken)) return true;
        break;
      }
    }
  }
  return false;
}

}  // namespace

bool StartProgramBy(const std::vector<StartRoute>& routes, const std::wstring& program,
                    const std::vector<std::wstring>& arguments, WindowState state,
                    const std::wstring& operation) {
  RejectQuote(program, operation);
  // The shell's start reports no failure: a missing program is reported here, for every route.
  if (!FileExists(program)) ThrowError(operation, program, ERROR_FILE_NOT_FOUND);
  return StartByFirstRoute(routes, program, ArgumentsText(arguments), state, operation);
}

std::wstring FileManagerPath() {
  // The system's own Windows folder (not a per-user one on terminal servers).
  std::wstring folder(MAX_PATH, L'\0');
  for (;;) {
    const UINT length = GetSystemWindowsDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (length == 0) ThrowLastError(kFindWindowsFolderOperation);
    if (length < folder.size()) {
      folder.resize(length);
      break;
    }
    folder.resize(length);
  }
  if (folder.back() != L'\\') folder += L'\\';
  return folder + kFileManagerName;
}

bool OpenFolderInFileManager(const std::vector<StartRoute>& routes, const std::wstring& folder,
                             WindowState state, const std::wstring& operation) {
  RejectQuote(folder, operation);
  // The file manager reads its command line itself: a quoted path is taken literally, a
  // backslash before the closing quote included, so the folder is not escaped.
  return StartByFirstRoute(routes, FileManagerPath(), Quoted(folder), state, operation);
}

}  // namespace velmo
