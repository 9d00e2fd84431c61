// An installation folder the user may not write in (for example one under "Program Files", or on
// a write-protected USB stick): the error box says what to do. A portable configuration must live
// where the browser, which runs with the desktop user's ordinary rights, can write; the tool does
// not offer to raise its own rights.
#pragma once
#include <string>
#include <string_view>

#include "model/ui.h"
#include "support/platform_error.h"

namespace velmo {

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
// a file made in it. False when the unelevated rights cannot be asked.
bool InstallFolderIsWriteProtected(const std::wstring& installDir);

// Shows `error`, a failure to write into the installation folder `installDir`. When access was
// denied and the folder itself is write-protected (not merely one entry in it held open or
// protected), the same box (OK, error icon) also says that the configuration must live in a
// folder the user can write, and how to get there.
void ReportInstallFolderWriteFailure(Ui& ui, const PlatformError& error,
                                     const std::wstring& installDir);

// The text of ReportInstallFolderWriteFailure's box for `error`.
std::wstring InstallFolderWriteFailureText(const PlatformError& error,
                                           const std::wstring& installDir);

// The box of ReportInstallFolderWriteFailure with its advice, for a caller that has already found
// the installation folder write-protected.
void ShowWriteProtectionAdvice(Ui& ui, const PlatformError& error);

// With the tool run as administrator by the desktop's user: throws PlatformError (access denied,
// naming `installDir`) when the user's unelevated rights would not allow new entries in a folder
// the tool creates there, or changes to a file it makes in that folder (one beside Setting is
// made, with a file in it, asked about and removed), and a
// PlatformError saying so when those rights cannot be asked. Nothing otherwise.
void CheckDesktopUserCanWrite(const std::wstring& installDir);

// Finds out, before anything is deleted, that a folder can be created where `folder` lies: a
// folder beside it is created and removed again. Throws PlatformError naming `folder` when the
// system does not allow it.
void CheckFolderCanBeCreated(const std::wstring& folder);

}  // namespace velmo
