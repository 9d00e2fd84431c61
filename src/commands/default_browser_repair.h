// A system whose default web browser is a Velmo browser that is no longer there: typically this
// portable folder before it was moved, so that links opened from other programs lead nowhere.
// Checked once at start-up, after the question about a moved folder.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/context.h"
#include "model/ui.h"
#include "support/desktop_rights.h"

namespace velmo {

// The program that the default-browser command `command` (environment variables already
// expanded) runs, when it is worth asking about: its path starts with a drive letter (a network
// path could freeze the window while its existence is checked), its file name is
// velmoexplorer.exe (any letter case; a short 8.3 name never matches), it is not the browser in
// `installDir` and `isMissing` says it is known not to be there. Otherwise nullopt.
// The program is the first token when it is quoted; unquoted, the text up to the first ".exe"
// followed by a space or the end.
std::optional<std::wstring> MissingVelmoDefaultBrowser(
    std::wstring_view command, std::wstring_view installDir,
    const std::function<bool(const std::wstring&)>& isMissing);

// Whether a file is known to be missing, from the facts about it: the type of its drive
// (GetDriveTypeW), whether the drive's root is there, and the error of asking for the file
// (ERROR_SUCCESS when it is there). Only a local drive (fixed or removable) that is present can
// say so: a drive that is not there, or a network drive, tells nothing.
bool FileIsMissing(unsigned driveType, bool rootPresent, unsigned long fileError);

// FileIsMissing for `path` (a path starting with a drive letter) as the system answers now; a
// drive that is not local is not asked about the file at all.
bool ProgramFileIsMissing(const std::wstring& path);

// Asks once, when the system's default browser for http or https is a missing Velmo browser,
// whether to make the browser here the default. Yes does what the default-browser button does;
// No or no answer does nothing (the question comes back at the next start). Nothing is asked
// when the association cannot be told, nor of another or an unknown account than the desktop's
// (the context's rights, asked only when there is something to ask about).
void OfferDefaultBrowserRepair(const Context& context, Ui& ui);

}  // namespace velmo
