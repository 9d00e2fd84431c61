#include "support/desktop_rights.h"

#include <windows.h>
#include <wtsapi32.h>

#include <memory>
#include <utility>
#include <vector>

#include "support/file_queries.h"
#include "support/platform_error.h"
#include "support/system_library.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kWtsapi32[] = L"wtsapi32.dll";

UniqueHandle ProcessToken(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return UniqueHandle();
  return UniqueHandle(token);
}

// A token's information of class `which`, in a buffer aligned for the structure it holds; empty
// when it cannot be read.
std::vector<ULONGLONG> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS which) {
  DWORD size = 0;
  GetTokenInformation(token, which, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<ULONGLONG> buffer((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
  if (!GetTokenInformation(token, which, buffer.data(), size, &size)) return {};
  return buffer;
}

std::optional<bool> IsElevated(HANDLE token) {
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size)) {
    return std::nullopt;
  }
  return elevation.TokenIsElevated != 0;
}

// Whether `token` has a linked token: only one of type TokenElevationTypeDefault "does not have a
// linked token" (TOKEN_ELEVATION_TYPE). nullopt when the type cannot be read.
std::optional<bool> HasLinkedToken(HANDLE token) {
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size)) {
    return std::nullopt;
  }
  return type != TokenElevationTypeDefault;
}

UniqueHandle LinkedToken(HANDLE token) {
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)) {
    return UniqueHandle();
  }
  return UniqueHandle(linked.LinkedToken);
}

PSID UserOf(const std::vector<ULONGLONG>& tokenUser) {
  return tokenUser.empty() ? nullptr
                           : reinterpret_cast<const TOKEN_USER*>(tokenUser.data())->User.Sid;
}

// The domain and name of the account this process runs as; nullopt when they cannot be read.
std::optional<std::pair<std::wstring, std::wstring>> OwnAccount() {
  const UniqueHandle own = ProcessToken(GetCurrentProcess());
  if (!own) return std::nullopt;
  const std::vector<ULONGLONG> user = TokenInformation(own.Get(), TokenUser);
  if (UserOf(user) == nullptr) return std::nullopt;
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use{};
  if (!LookupAccountSidW(nullptr, UserOf(user), name, &nameLength, domain, &domainLength, &use)) {
    return std::nullopt;
  }
  return std::pair{std::wstring(domain), std::wstring(name)};
}

RightsFacts ReadRightsFacts() {
  RightsFacts facts;
  if (const UniqueHandle own = ProcessToken(GetCurrentProcess())) {
    facts.toolElevated = IsElevated(own.Get());
    facts.linkedToken = HasLinkedToken(own.Get());
  }
  // "If no Shell process is present, the return value is NULL" (GetShellWindow).
  const HWND shellWindow = GetShellWindow();
  DWORD shellId = 0;
  if (shellWindow != nullptr && GetWindowThreadProcessId(shellWindow, &shellId) != 0) {
    facts.shell = CompareWithProcess(shellId);
  }
  if (facts.shell.account == AccountComparison::kUnknown || facts.shell.accessDenied) {
    facts.sessionUser = CompareWithSessionUser(WTS_CURRENT_SESSION);
  }
  return facts;
}

}  // namespace

DesktopAccount DecideAccount(const ShellFacts& shell, AccountComparison sessionUser) {
  // The shell runs as the desktop's user; only where it cannot tell does the session's logged-on
  // user (WTSQuerySessionInformation, WTSUserName and WTSDomainName) stand in for it.
  const AccountComparison account =
      shell.account != AccountComparison::kUnknown ? shell.account : sessionUser;
  switch (account) {
    case AccountComparison::kSame: return DesktopAccount::kDesktopUser;
    case AccountComparison::kOther: return DesktopAccount::kOtherAccount;
    case AccountComparison::kUnknown: break;
  }
  return DesktopAccount::kUnknown;
}

std::vector<StartRoute> DecideLaunchRoutes(std::optional<bool> toolElevated,
                                           std::optional<bool> linkedToken,
                                           std::optional<bool> shellElevated) {
  if (toolElevated == false) return {StartRoute::kDirect};
  // Rights that cannot be read may be an administrator's: only the routes that start the browser
  // unelevated are tried.
  if (!toolElevated) {
    if (shellElevated == false) return {StartRoute::kDesktopShell, StartRoute::kNormalUserToken};
    return {StartRoute::kNormalUserToken};
  }
  // An unelevated shell starts programs with its own, unelevated rights; where it cannot, a
  // normal-user token made from the tool's (SaferComputeTokenFromLevel with
  // SAFER_LEVELID_NORMALUSER, its integrity lowered to medium) is the fallback.
  if (shellElevated == false) return {StartRoute::kDesktopShell, StartRoute::kNormalUserToken};
  // Elevated without a linked token (UAC off, the built-in Administrator), or over an elevated
  // shell: the desktop itself starts programs elevated, so the tool does the same.
  if (linkedToken == false || shellElevated == true) return {StartRoute::kDirect};
  // Elevated by UAC (or with a linked token that could not be asked about) and no shell to ask:
  // a normal-user token only.
  return {StartRoute::kNormalUserToken};
}

RightsDecision DecideRights(const RightsFacts& facts) {
  RightsDecision decision;
  // An elevated shell's process and token take their security from its elevated token, which
  // grants the Administrators group, not the user ("Process Security and Access Rights"): an
  // unelevated tool of the same user is denied too, and only the session can tell. A tool whose
  // elevation is unknown may be that unelevated tool.
  ShellFacts shell = facts.shell;
  if (shell.accessDenied && facts.toolElevated != true) {
    shell.account = AccountComparison::kUnknown;
  }
  decision.account = DecideAccount(shell, facts.sessionUser);
  if (decision.account != DesktopAccount::kDesktopUser) return decision;
  // An elevated administrator's new entries belong to the Administrators group: what the
  // unelevated browser may do in them is asked of the linked token, unless the shell shows that
  // the desktop runs elevated too. A linked token that could not be asked about is asked for again
  // by the check, which refuses when it cannot have it.
  decision.checkWriteUnelevated =
      !facts.toolElevated ||
      (*facts.toolElevated && facts.linkedToken != false && facts.shell.elevated != true);
  decision.launchRoutes =
      DecideLaunchRoutes(facts.toolElevated, facts.linkedToken, facts.shell.elevated);
  return decision;
}

RightsDecision CurrentRights() { return DecideRights(ReadRightsFacts()); }

ShellFacts CompareWithProcess(DWORD processId) {
  ShellFacts facts;
  // An open that failed: a denial means another account, any other failure tells nothing.
  const auto notOpened = [&facts] {
    facts.accessDenied = GetLastError() == ERROR_ACCESS_DENIED;
    if (facts.accessDenied) facts.account = AccountComparison::kOther;
    return facts;
  };
  // A process's default security descriptor comes from its creator's token ("Process Security
  // and Access Rights"): it grants the process's own user and the system. A denial of even
  // PROCESS_QUERY_LIMITED_INFORMATION, which integrity levels do not stop, means another account.
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return notOpened();
  // A token's default security grants its own user (and the system) query access.
  const UniqueHandle token = ProcessToken(process.Get());
  if (!token) return notOpened();
  facts.elevated = IsElevated(token.Get());
  const UniqueHandle own = ProcessToken(GetCurrentProcess());
  if (!own) return facts;
  const std::vector<ULONGLONG> ownUser = TokenInformation(own.Get(), TokenUser);
  const std::vector<ULONGLONG> otherUser = TokenInformation(token.Get(), TokenUser);
  if (UserOf(ownUser) == nullptr || UserOf(otherUser) == nullptr) return facts;
  facts.account = EqualSid(UserOf(ownUser), UserOf(otherUser)) != 0 ? AccountComparison::kSame
                                                                    : AccountComparison::kOther;
  return facts;
}

AccountComparison CompareWithSessionUser(DWORD sessionId) {
  HMODULE wtsapi = nullptr;
  if (!SkipIfFails([&] { wtsapi = LoadPinnedSystemLibrary(kWtsapi32); })) {
    return AccountComparison::kUnknown;
  }
  const auto query = SystemProcedure<decltype(&::WTSQuerySessionInformationW)>(
      wtsapi, "WTSQuerySessionInformationW");
  const auto freeMemory = SystemProcedure<decltype(&::WTSFreeMemory)>(wtsapi, "WTSFreeMemory");
  if (query == nullptr || freeMemory == nullptr) return AccountComparison::kUnknown;
  const auto text = [&](WTS_INFO_CLASS which) -> std::optional<std::wstring> {
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    if (!query(WTS_CURRENT_SERVER_HANDLE, sessionId, which, &buffer, &bytes) || !buffer) {
      return std::nullopt;
    }
    const std::unique_ptr<wchar_t, decltype(freeMemory)> owned(buffer, freeMemory);
    return std::wstring(buffer, wcsnlen(buffer, bytes / sizeof(wchar_t)));
  };
  const std::optional<std::wstring> name = text(WTSUserName);
  const std::optional<std::wstring> domain = text(WTSDomainName);
  // A session without a logged-on user (empty name) tells nothing.
  if (!name || name->empty() || !domain) return AccountComparison::kUnknown;
  const auto own = OwnAccount();
  if (!own) return AccountComparison::kUnknown;
  return SameName(*domain, own->first) && SameName(*name, own->second)
             ? AccountComparison::kSame
             : AccountComparison::kOther;
}

std::wstring ProcessAccountName() {
  const auto own = OwnAccount();
  if (!own) return {};
  return own->first.empty() ? own->second : own->first + L"\\" + own->second;
}

std::optional<bool> TokenIsGranted(HANDLE token, PSECURITY_DESCRIPTOR descriptor, DWORD access) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  MapGenericMask(&access, &mapping);
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = FALSE;
  if (!AccessCheck(descriptor, token, access, &mapping, &privileges, &privilegesSize, &granted,
                   &allowed)) {
    return std::nullopt;
  }
  return allowed != 0;
}

bool LinkedTokenCanWriteIn(const std::wstring& folder, HANDLE fileInFolder) {
  const UniqueHandle own = ProcessToken(GetCurrentProcess());
  if (!own) ThrowLastError(kCheckUnelevatedWriteOperation, folder);
  const UniqueHandle linked = LinkedToken(own.Get());
  if (!linked) {
    // Without a linked token the tool's own rights are the user's. Any other failure to get the
    // linked token leaves the unelevated rights unknown, and the check cannot answer.
    const DWORD linkedError = GetLastError();
    if (HasLinkedToken(own.Get()) == false) return true;
    ThrowError(kCheckUnelevatedWriteOperation, folder,
               linkedError != ERROR_SUCCESS ? linkedError : ERROR_NO_TOKEN);
  }
  const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;
  // Both readers fill the buffer or say how large it must be.
  const auto descriptorOf = [&](auto read) {
    DWORD size = 0;
    read(nullptr, 0, &size);
    if (size == 0) ThrowLastError(kCheckUnelevatedWriteOperation, folder);
    std::vector<ULONGLONG> descriptor((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
    if (!read(descriptor.data(), size, &size)) {
      ThrowLastError(kCheckUnelevatedWriteOperation, folder);
    }
    return descriptor;
  };
  std::vector<ULONGLONG> folderDescriptor =
      descriptorOf([&](void* buffer, DWORD size, DWORD* needed) {
        return GetFileSecurityW(folder.c_str(), parts, buffer, size, needed);
      });
  std::vector<ULONGLONG> fileDescriptor =
      descriptorOf([&](void* buffer, DWORD size, DWORD* needed) {
        return GetKernelObjectSecurity(fileInFolder, parts, buffer, size, needed);
      });
  // The linked token of an elevated process is an identification-level token unless the caller
  // holds the TCB privilege: the system answers access checks for it but does not let a thread
  // open files with it, so the descriptors are checked against it instead. A folder inherits
  // container entries, a file only object entries: each is asked about what the browser does
  // with it. A file may be deleted with DELETE on it or FILE_DELETE_CHILD on its folder.
  const auto granted = [&](std::vector<ULONGLONG>& descriptor, DWORD access) {
    const std::optional<bool> answer = TokenIsGranted(linked.Get(), descriptor.data(), access);
    if (!answer) ThrowLastError(kCheckUnelevatedWriteOperation, folder);
    return *answer;
  };
  return granted(folderDescriptor, kBrowserFolderAccess) &&
         granted(fileDescriptor, kBrowserFileAccess & ~DELETE) &&
         (granted(fileDescriptor, DELETE) || granted(folderDescriptor, FILE_DELETE_CHILD));
}

}  // namespace velmo
