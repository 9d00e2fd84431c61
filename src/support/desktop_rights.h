// This process's rights compared with those of the desktop it was started on. The desktop's shell
// (the process that owns GetShellWindow()) runs as the user of the desktop, unelevated where UAC
// is on; the browser runs like it. The tool compares itself with that process rather than with
// fixed token types: under some systems (Wine among them) every process, the shell included,
// reports itself elevated. Where there is no shell window, the session's user stands in for the
// account. What the tool cannot establish is never taken as "as usual": the decisions below fail
// closed.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "support/process_launch.h"

namespace velmo {

// How the account of another process, or of the session, compares with this process's.
enum class AccountComparison { kSame, kOther, kUnknown };

// What the shell's process tells: its account (kUnknown when there is no shell window, or its
// process or token could not be asked for a reason other than a denial; kOther when they were
// denied) and whether its token is elevated (nullopt when that was not read).
struct ShellFacts {
  AccountComparison account = AccountComparison::kUnknown;
  std::optional<bool> elevated;
  bool accessDenied = false;  // opening its process or token was denied
};

// What is compared.
struct RightsFacts {
  ShellFacts shell;
  AccountComparison sessionUser = AccountComparison::kUnknown;  // the session's logged-on user
  // The tool's token is elevated; nullopt when the token or its elevation could not be read.
  std::optional<bool> toolElevated;
  // The tool's token has a linked token (TokenElevationType is not TokenElevationTypeDefault);
  // nullopt when its type could not be read.
  std::optional<bool> linkedToken;
};

// Whose desktop the tool runs on.
enum class DesktopAccount {
  kDesktopUser,   // the tool runs as the desktop's user
  kOtherAccount,  // someone typed another account's password (elevation prompt, runas)
  kUnknown,       // neither the shell nor the session could tell
};

// What the tool does about it.
struct RightsDecision {
  // Anything but kDesktopUser: the commands that change the installation, start the browser or
  // settle an interrupted Set or restore refuse, and change nothing.
  DesktopAccount account = DesktopAccount::kUnknown;
  // Elevated with an unelevated token beside it: the write check before a change is also made for
  // that token, the rights the browser will have.
  bool checkWriteUnelevated = false;
  // How the browser is started, tried in this order; empty: no route starts it unelevated, and the
  // user is asked to start it from the desktop.
  std::vector<StartRoute> launchRoutes;
  friend bool operator==(const RightsDecision&, const RightsDecision&) = default;
};

// The account: the shell's answer where it has one, else the session's.
DesktopAccount DecideAccount(const ShellFacts& shell, AccountComparison sessionUser);

// The ways to start the browser for the desktop's user, in order. A tool whose elevation, or
// whose linked token, is unknown is taken to be elevated with a linked token, and never starts
// the browser directly unless the shell runs elevated too.
std::vector<StartRoute> DecideLaunchRoutes(std::optional<bool> toolElevated,
                                           std::optional<bool> linkedToken,
                                           std::optional<bool> shellElevated);

RightsDecision DecideRights(const RightsFacts& facts);

// The decision for this process now, from the facts read off the process, the shell window's
// process and the session.
RightsDecision CurrentRights();

// The account and elevation of process `processId` compared with this process's.
ShellFacts CompareWithProcess(DWORD processId);

// The logged-on user of session `sessionId` (WTS_CURRENT_SESSION for this process's session)
// compared with the account this process runs as.
AccountComparison CompareWithSessionUser(DWORD sessionId);

// "DOMAIN\name" of the account this process runs as; empty when it cannot be read.
std::wstring ProcessAccountName();

// What the browser must be allowed in a folder the tool made: to create files and folders in it;
// and on a file made there: to write it, and to replace or delete it.
inline constexpr DWORD kBrowserFolderAccess = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
inline constexpr DWORD kBrowserFileAccess = FILE_GENERIC_WRITE | DELETE;

// Whether `token` (an impersonation or identification token) is granted all of `access` by
// `descriptor`; nullopt when the system cannot answer.
std::optional<bool> TokenIsGranted(HANDLE token, PSECURITY_DESCRIPTOR descriptor, DWORD access);

// Whether this process's linked (unelevated) token is granted kBrowserFolderAccess in `folder`
// and kBrowserFileAccess on `fileInFolder`, a file just made in it and open with READ_CONTROL
// (the delete may also come from FILE_DELETE_CHILD on the folder); true when there is no linked
// token. Throws PlatformError (naming `folder`) when there is one but the question cannot be
// answered.
bool LinkedTokenCanWriteIn(const std::wstring& folder, HANDLE fileInFolder);

// What an error box says failed when the unelevated rights' write check cannot be made.
inline constexpr wchar_t kCheckUnelevatedWriteOperation[] = L"检查当前用户的普通权限能否写入";

}  // namespace velmo
