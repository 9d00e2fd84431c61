#include "support/desktop_rights.h"

#include <windows.h>

#include <vector>

#include "support/platform_error.h"
#include "support/system_library.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

constexpr wchar_t kAdvapi32[] = L"advapi32.dll";

// The security functions, from advapi32.dll out of System32 (the window starts without it).
struct SecurityApi {
  HMODULE module = LoadPinnedSystemLibrary(kAdvapi32);
  template <typename Function>
  Function Get(const char* name) const {
    return RequiredProcedure<Function>(module, kAdvapi32, name);
  }
  decltype(&::OpenProcessToken) openProcessToken =
      Get<decltype(&::OpenProcessToken)>("OpenProcessToken");
  decltype(&::GetTokenInformation) getTokenInformation =
      Get<decltype(&::GetTokenInformation)>("GetTokenInformation");
};

UniqueHandle ProcessToken(const SecurityApi& api, HANDLE process) {
  HANDLE token = nullptr;
  if (!api.openProcessToken(process, TOKEN_QUERY, &token)) return UniqueHandle();
  return UniqueHandle(token);
}

// A token's information of class `which`, in a buffer aligned for the structure it holds; empty
// when it cannot be read.
std::vector<ULONGLONG> TokenInformation(const SecurityApi& api, HANDLE token,
                                        TOKEN_INFORMATION_CLASS which) {
  DWORD size = 0;
  api.getTokenInformation(token, which, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<ULONGLONG> buffer((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
  if (!api.getTokenInformation(token, which, buffer.data(), size, &size)) return {};
  return buffer;
}

bool IsElevated(const SecurityApi& api, HANDLE token) {
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return api.getTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

UniqueHandle LinkedToken(const SecurityApi& api, HANDLE token) {
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  if (!api.getTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size)) {
    return UniqueHandle();
  }
  return UniqueHandle(linked.LinkedToken);
}

PSID UserOf(const std::vector<ULONGLONG>& tokenUser) {
  return tokenUser.empty() ? nullptr
                           : reinterpret_cast<const TOKEN_USER*>(tokenUser.data())->User.Sid;
}

// The facts for this process now; nullopt when there is no shell window or its process cannot be
// asked.
std::optional<RightsFacts> ReadRightsFacts() {
  const HWND shellWindow = GetShellWindow();
  if (shellWindow == nullptr) return std::nullopt;
  DWORD shellId = 0;
  GetWindowThreadProcessId(shellWindow, &shellId);
  const UniqueHandle shell(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shellId));
  if (!shell) return std::nullopt;
  std::optional<SecurityApi> api;
  if (!SkipIfFails([&] { api.emplace(); })) return std::nullopt;
  const UniqueHandle own = ProcessToken(*api, GetCurrentProcess());
  if (!own) return std::nullopt;
  RightsFacts facts;
  facts.toolElevated = IsElevated(*api, own.Get());
  facts.linkedToken = static_cast<bool>(LinkedToken(*api, own.Get()));
  const UniqueHandle shellToken = ProcessToken(*api, shell.Get());
  if (!shellToken) {
    // A process token's default security grants its own user (and the system) query access,
    // and integrity levels do not stop a query: refused, the shell belongs to another account.
    if (GetLastError() != ERROR_ACCESS_DENIED) return std::nullopt;
    facts.sameAccount = false;
    return facts;
  }
  facts.shellElevated = IsElevated(*api, shellToken.Get());
  const auto equalSid = api->Get<decltype(&::EqualSid)>("EqualSid");
  const std::vector<ULONGLONG> ownUser = TokenInformation(*api, own.Get(), TokenUser);
  const std::vector<ULONGLONG> shellUser = TokenInformation(*api, shellToken.Get(), TokenUser);
  if (UserOf(ownUser) == nullptr || UserOf(shellUser) == nullptr) return std::nullopt;
  facts.sameAccount = equalSid(UserOf(ownUser), UserOf(shellUser)) != 0;
  return facts;
}

}  // namespace

RightsDecision DecideRights(const std::optional<RightsFacts>& facts) {
  RightsDecision decision;
  if (!facts) return decision;
  if (!facts->sameAccount) {
    decision.otherAccount = true;
    return decision;
  }
  // "Run as administrator" by the desktop's own user: the browser will run without elevation.
  const bool elevatedOverShell = facts->toolElevated && !facts->shellElevated;
  decision.checkWriteUnelevated = elevatedOverShell && facts->linkedToken;
  decision.launchThroughShell = elevatedOverShell;
  return decision;
}

RightsDecision CurrentRights() { return DecideRights(ReadRightsFacts()); }

std::wstring ProcessAccountName() {
  std::optional<SecurityApi> api;
  if (!SkipIfFails([&] { api.emplace(); })) return {};
  const UniqueHandle own = ProcessToken(*api, GetCurrentProcess());
  if (!own) return {};
  const std::vector<ULONGLONG> user = TokenInformation(*api, own.Get(), TokenUser);
  if (UserOf(user) == nullptr) return {};
  const auto lookup = api->Get<decltype(&::LookupAccountSidW)>("LookupAccountSidW");
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD nameLength = 256;
  DWORD domainLength = 256;
  SID_NAME_USE use{};
  if (!lookup(nullptr, UserOf(user), name, &nameLength, domain, &domainLength, &use)) return {};
  return domainLength == 0 ? std::wstring(name) : std::wstring(domain) + L"\\" + name;
}

bool LinkedTokenCanWriteIn(const std::wstring& folder) {
  std::optional<SecurityApi> api;
  if (!SkipIfFails([&] { api.emplace(); })) return true;
  const UniqueHandle own = ProcessToken(*api, GetCurrentProcess());
  const UniqueHandle linked = own ? LinkedToken(*api, own.Get()) : UniqueHandle();
  if (!linked) return true;
  const auto getSecurity = api->Get<decltype(&::GetFileSecurityW)>("GetFileSecurityW");
  const auto mapGeneric = api->Get<decltype(&::MapGenericMask)>("MapGenericMask");
  const auto accessCheck = api->Get<decltype(&::AccessCheck)>("AccessCheck");
  const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                     DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION;
  DWORD size = 0;
  getSecurity(folder.c_str(), parts, nullptr, 0, &size);
  if (size == 0) return true;
  std::vector<ULONGLONG> descriptor((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
  if (!getSecurity(folder.c_str(), parts, descriptor.data(), size, &size)) return true;
  // The linked token of an elevated process is an identification-level token unless the caller
  // holds the TCB privilege: the system answers access checks for it but does not let a thread
  // open files with it, so the folder's descriptor is checked against it instead.
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                          FILE_ALL_ACCESS};
  DWORD wanted = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;
  mapGeneric(&wanted, &mapping);
  PRIVILEGE_SET privileges{};
  DWORD privilegesSize = sizeof privileges;
  DWORD granted = 0;
  BOOL allowed = TRUE;
  if (!accessCheck(descriptor.data(), linked.Get(), wanted, &mapping, &privileges,
                   &privilegesSize, &granted, &allowed)) {
    return true;
  }
  return allowed != 0;
}

}  // namespace velmo
