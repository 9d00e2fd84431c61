#include "commands/set_recovery.h"

#include <windows.h>

#include <string_view>
#include <utility>
#include <vector>

#include "commands/command_steps.h"
#include "commands/set_transaction.h"
#include "commands/write_protection.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/directory_listing.h"
#include "support/file_queries.h"
#include "support/folder_lock.h"
#include "support/number_text.h"
#include "support/platform_error.h"
#include "support/search_process.h"

namespace velmo {
namespace {

// Copies an earlier version of the tool made beside Setting: "Setting.velmo-new-<pid>-<n>" was
// a copy of the profile, "Setting.velmo-old-<pid>-<n>" the old Setting moved aside.
constexpr wchar_t kEarlierCopies[] = L"Setting.velmo-*";
constexpr std::wstring_view kEarlierNewCopy = L"Setting.velmo-new-";
constexpr std::wstring_view kEarlierOldCopy = L"Setting.velmo-old-";
// The empty folder the write check makes beside Setting and removes at once.
bool IsWriteCheckFolder(std::wstring_view name) {
  constexpr std::wstring_view kSetting = L"Setting";
  return name.starts_with(kSetting) && name.substr(kSetting.size()).starts_with(kWriteCheckTag);
}
// The path file's temporary files: "vpf" and up to four hex digits, ".tmp"; or a fixed name.
constexpr wchar_t kPathFileTemporaries[] = L"vpf*.tmp";
constexpr wchar_t kPathFileFixedTemporary[] = L"\\path.velmo-new";
// A configuration kept beside the one in use gets a name the user sees and understands, no
// longer than "Setting" (so that everything in it stays reachable).
constexpr wchar_t kKeptAsideName[] = L"\\旧配置";
constexpr unsigned kMaxKeptAsideNumber = 9999;

constexpr wchar_t kInterruptedText[] = L"检测到上次设置Velmo浏览器配置文件时没有完成。";
constexpr wchar_t kKeptAsideStart[] = L"除了正在使用的配置文件：\r\n";
constexpr wchar_t kKeptAsideMiddle[] =
    L"\r\n还留有另一份配置文件。为避免丢失数据，工具没有删除它，它现在保存在：\r\n";
constexpr wchar_t kKeptAsideEnd[] = L"\r\n确认不再需要后，可以手动删除它。";
constexpr wchar_t kNotBackStart[] = L"原有的配置文件未能放回原处，现在保存在：\r\n";
constexpr wchar_t kNotBackEnd[] =
    L"\r\n请关闭正在使用它的程序后重新打开本工具，或者手动将它改名为Setting。";
constexpr wchar_t kBrowserRunningText[] =
    L"检测到上次设置Velmo浏览器配置文件时没有完成，需要整理留下的文件夹。"
    L"Velmo浏览器正在运行中，这次没有做任何改动；请关闭Velmo浏览器后重新打开本工具，"
    L"工具会自动整理。";
constexpr wchar_t kNameTakenStart[] = L"无法开始设置：上次设置留下的以下文件或文件夹无法整理：\r\n";
constexpr wchar_t kNameTakenEnd[] = L"\r\n请关闭正在使用它的程序后再试。";

// The entries of `folder` that match the search pattern and whose own (long) name passes `keep`:
// the pattern alone would also match short 8.3 names.
std::vector<std::wstring> EntriesMatching(const std::wstring& folder, const wchar_t* pattern,
                                          bool (*keep)(std::wstring_view)) {
  std::vector<std::wstring> paths;
  ForEachEntryMatching(folder, pattern, [&](const DirectoryEntry& entry) {
    if (keep(entry.name)) paths.push_back(entry.path);
    return true;
  });
  return paths;
}

// The system makes these names of ASCII letters and digits; the file system matches them in
// either letter case.
bool IsPathFileTemporary(std::wstring_view name) {
  if (name.size() < 8 || name.size() > 11) return false;
  const auto lower = [](wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
  };
  if (lower(name[0]) != L'v' || lower(name[1]) != L'p' || lower(name[2]) != L'f') return false;
  const std::wstring_view ending = name.substr(name.size() - 4);
  if (ending[0] != L'.' || lower(ending[1]) != L't' || lower(ending[2]) != L'm' ||
      lower(ending[3]) != L'p') {
    return false;
  }
  for (const wchar_t c : name.substr(3, name.size() - 7)) {
    const wchar_t digit = lower(c);
    if (!(digit >= L'0' && digit <= L'9') && !(digit >= L'a' && digit <= L'f')) return false;
  }
  return true;
}

// What is never the only copy of anything: the path file's temporary files and the copies of
// the profile an earlier version of the tool made.
std::vector<std::wstring> Garbage(const std::wstring& installDir) {
  std::vector<std::wstring> paths = EntriesMatching(installDir, kPathFileTemporaries,
                                                    IsPathFileTemporary);
  for (const std::wstring& path : EntriesMatching(installDir, kEarlierCopies, [](auto name) {
         return name.starts_with(kEarlierNewCopy);
       })) {
    paths.push_back(path);
  }
  const std::wstring fixed = installDir + kPathFileFixedTemporary;
  if (EntryExists(fixed)) paths.push_back(fixed);
  return paths;
}

// Only an empty one counts and is removed: anything with entries is somebody's data.
std::vector<std::wstring> WriteCheckFolders(const std::wstring& installDir) {
  std::vector<std::wstring> paths;
  for (std::wstring& path : EntriesMatching(installDir, kEarlierCopies, IsWriteCheckFolder)) {
    const ListingEnd end = ForEachEntry(path, [](const DirectoryEntry&) { return false; });
    if (end == ListingEnd::kComplete) paths.push_back(std::move(path));
  }
  return paths;
}

std::vector<std::wstring> EarlierOldCopies(const std::wstring& installDir) {
  return EntriesMatching(installDir, kEarlierCopies,
                         [](auto name) { return name.starts_with(kEarlierOldCopy); });
}

// Where the Set stood when it stopped, read off the path file: it writes the path file last.
enum class SwapState { kCommitted, kNotCommitted, kUnknown, kUnreadable };

// kUnknown when the path file holds neither the journal's bytes after nor those before the Set:
// another command rewrote it since, and the browser may have used the new Setting.
SwapState StateOfSwap(const std::wstring& installDir, const SetJournal& journal) {
  std::optional<std::string> now;
  if (!SkipIfFails([&] { now = ReadPathFileBytes(installDir); })) return SwapState::kUnreadable;
  if (now == journal.pathFileBytes) return SwapState::kCommitted;
  if (now == journal.pathFileBefore) return SwapState::kNotCommitted;
  return SwapState::kUnknown;
}

std::wstring UnusedKeptAsideName(const std::wstring& installDir) {
  for (unsigned number = 1; number <= kMaxKeptAsideNumber; ++number) {
    std::wstring candidate = installDir + kKeptAsideName;
    if (number > 1) candidate += DecimalText(number);
    if (!EntryExists(candidate)) return candidate;
  }
  return {};
}

// The first of the Set's own names (all but Setting) that something stands at.
std::optional<std::wstring> FirstTakenSetName(const SetNames& names) {
  for (const std::wstring* name :
       {&names.partial, &names.complete, &names.aside, &names.doomed, &names.journal}) {
    if (EntryExists(*name)) return *name;
  }
  return std::nullopt;
}

void ShowReport(const std::wstring& installDir, const TidyReport& report, Ui& ui) {
  const std::wstring text = AsideConfigurationsText(installDir, report);
  if (!text.empty()) Notify(ui, text);
}

}  // namespace

bool HasSetLeftovers(const std::wstring& installDir) {
  return FirstTakenSetName(SetNames(installDir)) || !Garbage(installDir).empty() ||
         !EarlierOldCopies(installDir).empty() || !WriteCheckFolders(installDir).empty();
}

TidyReport TidyInterruptedSet(const std::wstring& installDir, const FolderDeleter& deleter) {
  const SetNames names(installDir);
  TidyReport report;
  RemoveFileOrFolder(names.partial, deleter);
  RemoveFileOrFolder(names.doomed, deleter);
  for (const std::wstring& path : Garbage(installDir)) RemoveFileOrFolder(path, deleter);
  for (const std::wstring& path : WriteCheckFolders(installDir)) RemoveDirectoryW(path.c_str());

  // The copy was renamed to Setting: the Set is committed once the path file holds the bytes the
  // journal names (it was written last); then the old entry goes. While the path file still holds
  // its bytes from before, the swap is undone. Otherwise both configurations are kept (below).
  if (const std::optional<SetJournal> journal = ReadJournal(names.journal);
      journal && !EntryExists(names.complete) && EntryExists(names.setting)) {
    switch (StateOfSwap(installDir, *journal)) {
      case SwapState::kCommitted:
        if (EntryExists(names.aside) && !RenameEntry(names.aside, names.doomed)) return report;
        DeleteFileW(names.journal.c_str());
        RemoveFileOrFolder(names.doomed, deleter);
        break;
      case SwapState::kNotCommitted:
        // Without the old entry aside, Setting might be the old configuration itself: left alone.
        if ((EntryExists(names.aside) || !journal->oldExisted) &&
            !RenameEntry(names.setting, names.complete)) {
          return report;
        }
        break;
      case SwapState::kUnknown:
        // Setting stays as it is; an old configuration aside is kept under a visible name.
        DeleteFileW(names.journal.c_str());
        break;
      case SwapState::kUnreadable:
        return report;  // decided at the next start, when the file can be read
    }
  }

  // The swap did not finish: the old configuration goes back, then the copy goes.
  if (EntryExists(names.complete) && !EntryExists(names.setting) && EntryExists(names.aside)) {
    RenameEntry(names.aside, names.setting);
  }
  DeleteFileW(names.journal.c_str());
  RemoveFileOrFolder(names.complete, deleter);

  // Configurations still aside go back to Setting; beside another one they get a visible name.
  std::vector<std::wstring> aside = EarlierOldCopies(installDir);
  if (EntryExists(names.aside)) aside.insert(aside.begin(), names.aside);
  for (const std::wstring& path : aside) {
    if (!EntryExists(names.setting) && RenameEntry(path, names.setting)) continue;
    const bool settingTaken = EntryExists(names.setting);
    const std::wstring visible = settingTaken ? UnusedKeptAsideName(installDir) : std::wstring();
    const bool renamed = !visible.empty() && RenameEntry(path, visible);
    report.configurations.push_back({renamed ? visible : path, settingTaken});
  }
  return report;
}

std::wstring AsideConfigurationsText(const std::wstring& installDir, const TidyReport& report) {
  if (report.configurations.empty()) return {};
  std::wstring text = kInterruptedText;
  for (const AsideConfiguration& configuration : report.configurations) {
    text += L"\r\n";
    if (configuration.settingTaken) {
      text += kKeptAsideStart + browser::SettingFolder(installDir) + kKeptAsideMiddle +
              configuration.path + kKeptAsideEnd;
    } else {
      text += kNotBackStart + configuration.path + kNotBackEnd;
    }
  }
  return text;
}

bool TidyBeforeSet(const std::wstring& installDir, std::optional<FolderDeleter>& deleter,
                   Ui& ui) {
  if (!HasSetLeftovers(installDir)) return true;
  if (!deleter) deleter.emplace();
  ShowReport(installDir, TidyInterruptedSet(installDir, *deleter), ui);
  if (const std::optional<std::wstring> taken = FirstTakenSetName(SetNames(installDir))) {
    ShowFailure(ui, kNameTakenStart + *taken + kNameTakenEnd);
    return false;
  }
  return true;
}

void RecoverInterruptedSet(const Context& context, Ui& ui) {
  if (!HasSetLeftovers(context.installDir)) return;
  // Another instance of the tool in the middle of a Set uses the same names: nothing was
  // interrupted.
  const std::optional<FolderLock> lock = FolderLock::TryTake(context.installDir);
  if (!lock) return;
  // The browser may be using the folders: the work is left to a start without it.
  if (IsProcessRunning(browser::kExecutableName)) {
    Notify(ui, kBrowserRunningText);
    return;
  }
  const FolderDeleter deleter;
  ShowReport(context.installDir, TidyInterruptedSet(context.installDir, deleter), ui);
}

}  // namespace velmo
