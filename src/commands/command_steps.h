// The steps the commands share: the first checks of a configuration change, the room for a copy,
// the question asked when the tool sits on a path the browser cannot take as it is, and writing
// the path file with a report on failure.
#pragma once
#include <array>
#include <optional>
#include <string>

#include "commands/transaction_journal.h"
#include "model/context.h"
#include "model/path_file.h"
#include "model/ui.h"
#include "support/folder_lock.h"

namespace velmo {

// The installation folder's lock, taken for the work of `command` (Set, or restoring the installed
// browser, or settling what one of them left unfinished), so that another window that finds it
// held can name that command; nullopt while another window holds it.
std::optional<FolderLock> TakeInstallFolderLock(const std::wstring& installDir,
                                                TransactionKind command);

// The first checks of every command that moves the browser's configuration (Set, restoring the
// installed browser): the tool must run as the desktop's user (RunsAsDesktopUser), the browser
// must not be running, and no other window of the tool may be working on this installation
// folder. Returns the installation folder's lock, to be held to the end of `command`, or nullopt
// after one box saying why the command cannot start (naming the command another window runs).
std::optional<FolderLock> BeginConfigurationChange(const Context& context, Ui& ui,
                                                   TransactionKind command);

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
// the path file is then as it was. When the installation folder itself refuses new entries (to
// the desktop user's unelevated rights too, when the tool runs as administrator), the box also
// advises (ReportInstallFolderWriteFailure).
bool WritePathFileOrReport(Ui& ui, const std::wstring& installDir, PathFileForm form,
                           const std::wstring& cacheFolder);

}  // namespace velmo
