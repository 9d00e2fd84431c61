// Whether a command may start, asked before it changes anything: the tool runs as the desktop's
// user, the browser is closed, no other window of the tool works on this installation folder,
// the installation folder takes new entries (for the browser's unelevated rights too), the copy
// fits, the path file's form and cache line can be written; and what the user is told when the
// installation folder refuses a write. A new check of a command that replaces a configuration
// goes here and is asked once, in the order the command's steps list it.
#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "commands/replacement_journal.h"
#include "model/context.h"
#include "model/path_file.h"
#include "model/ui.h"
#include "support/desktop_rights.h"
#include "support/folder_lock.h"
#include "support/lock_retry.h"
#include "support/platform_error.h"

namespace velmo {

// What a command that replaces a configuration (Set, the restore) holds from its first check to
// its end: the installation folder's lock, so that another window that finds it held names this
// command and leaves its names alone; the rights, asked once; and the retries that all its
// renames and deletions draw on.
struct CommandSession {
  FolderLock lock;
  RightsDecision rights;
  RetryBudget retries;
};

// The installation folder's lock, taken for the work of `command` (Set, the restore, or settling
// what one of them left unfinished); nullopt while another window holds it.
std::optional<FolderLock> TakeInstallFolderLock(const std::wstring& installDir,
                                                ReplacementKind command);

// The first checks of `command`: the tool must run as the desktop's user (RunsAsDesktopUser), the
// browser must not be running, and no other window of the tool may be working on this
// installation folder. nullopt after one box saying why the command cannot start (naming the
// command another window runs).
std::optional<CommandSession> BeginReplacement(const Context& context, Ui& ui,
                                               ReplacementKind command);

// True when the command may go on. When the tool runs as another account than the desktop's
// (someone typed an administrator's password at the prompt), or which account it runs as cannot
// be established, one box says so (tool title, information icon, OK), naming the account
// `account` gives (this process's, looked up only then; empty: none), and the command must change
// nothing and start nothing.
bool RunsAsDesktopUser(Ui& ui, const RightsDecision& rights,
                       const std::function<std::wstring()>& account = &ProcessAccountName);

// The write check's folder beside Setting is named "Setting" + this tag + "<pid>-<n>"; the next
// start removes one that an interrupted run left (empty, it is never anyone's data).
inline constexpr std::wstring_view kWriteCheckTag = L".velmo-probe-";

// True when `error` is the system's "access denied" or "the media is write protected", as a Win32
// code or as an HRESULT.
bool IsAccessDenied(const PlatformError& error);

// True when the system denies this user the creation of anything in the installation folder
// `installDir` (a folder beside the Setting folder is tried, and removed again if it was made),
// or, with the tool run as administrator by the desktop's user, the user's unelevated rights
// (those the browser has) do not allow new entries in a folder the tool made there, or changes to
// a file made in it (asked when `rights` says so). False when the unelevated rights cannot be
// asked.
bool InstallFolderIsWriteProtected(const std::wstring& installDir, const RightsDecision& rights);

// Shows `error`, a failure to write into the installation folder `installDir`. When access was
// denied and the folder itself is write-protected (not merely one entry in it held open or
// protected), the same box (OK, error icon) also says that the configuration must live in a
// folder the user can write, and how to get there.
void ReportInstallFolderWriteFailure(Ui& ui, const PlatformError& error,
                                     const std::wstring& installDir, const RightsDecision& rights);

// The text of ReportInstallFolderWriteFailure's box for `error`.
std::wstring InstallFolderWriteFailureText(const PlatformError& error,
                                           const std::wstring& installDir,
                                           const RightsDecision& rights);

// The box of ReportInstallFolderWriteFailure with its advice, for a caller that has already found
// the installation folder write-protected.
void ShowWriteProtectionAdvice(Ui& ui, const PlatformError& error);

// Before a Set deletes anything, with one folder made beside Setting (and, with
// `rights.checkWriteUnelevated`, a file in it, asked about for the desktop user's unelevated
// rights, then both removed): the rights must allow new entries there and changes to such a file,
// the path file must be replaceable (CheckPathFileReplaceable) and readable (its bytes go to
// `pathFileBefore`, nullopt when there is none), and the folder must have been made, in that
// order. Otherwise shows the first failure, with the write-protection advice when the same probe
// found the installation folder refusing new entries, and returns false.
bool InstallFolderTakesTheSetOrReport(Ui& ui, const std::wstring& installDir,
                                      const RightsDecision& rights,
                                      std::optional<std::string>& pathFileBefore);

// Finds out, before anything is deleted, that a folder can be created where `folder` lies: a
// folder beside it is created and removed again. Throws PlatformError naming `folder` when the
// system does not allow it.
void CheckFolderCanBeCreated(const std::wstring& folder);

// What a command says when its copy would not fit.
struct CopyFitWords {
  const wchar_t* noRoomLead;     // too little room on the volume
  const wchar_t* tooLongLead;    // a path of the copy too long
  const wchar_t* tooLongAdvice;  // what helps against that (ends with a full stop)
};

// Before anything changes, in one walk of `source` without the folders `excluded` (full paths):
// whether its copy fits where it will be made, at `copyFolder` or at a name beside it that is no
// longer. Every path of the copy must stay within what the shell's copy takes (a file's 259
// characters, a folder's 247), and the files, each rounded up to whole clusters of the volume,
// must fit in the space this user may still write there. When the copy does not fit, one box
// (tool title, error icon, OK) names the longest path with its length and the limit, or both
// amounts as Windows shows them. Space that cannot be read stops nothing.
bool CopyFitsOrReport(Ui& ui, const CopyFitWords& words, const std::wstring& source,
                      const std::array<std::wstring, 3>& excluded, const std::wstring& copyFolder);

// "检测到当前绿色版存放的路径：“<settingFolder>”。存在中文字符，……" followed by CR LF and the
// offer to stop.
std::wstring DoubleBytePathQuestion(const std::wstring& settingFolder);

// The form of path file a command is to write, or none: then the command stops, and `after` says
// whether the tool ends too.
struct PathFileChoice {
  std::optional<PathFileForm> form;
  AfterCommand after = AfterCommand::kStayOpen;
};

// The form of path file a command writes for the Setting folder at `settingFolder`: the absolute
// form when the folder's path reaches the browser unchanged. Otherwise the user is asked whether
// to stop (DoubleBytePathQuestion): Yes gives no form and ends the tool, No gives the relative
// form, no answer gives no form (the command stops, the tool stays open).
PathFileChoice ChoosePathFileForm(Ui& ui, const std::wstring& settingFolder);

// Line 2 for the cache folder `cacheFolder` (CacheFolderLine). When the browser could not use any
// spelling of it, shows an error box naming the folder (and the folder that should hold it, when
// that is missing) and returns nullopt; nothing is written.
std::optional<std::wstring> CacheFolderLineOrReport(Ui& ui, const std::wstring& cacheFolder);

// Writes the path file in `form` with `cacheFolder`. On failure shows the error and returns false;
// the path file is then as it was. The desktop user's unelevated rights are checked first when
// `rights` says the tool runs as administrator; when the installation folder itself refuses new
// entries, the box also advises (ReportInstallFolderWriteFailure).
bool WritePathFileOrReport(Ui& ui, const RightsDecision& rights, const std::wstring& installDir,
                           PathFileForm form, const std::wstring& cacheFolder);

}  // namespace velmo
