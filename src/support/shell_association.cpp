#include "support/shell_association.h"

#include <shobjidl.h>
#include <versionhelpers.h>

#include "support/com.h"
#include "support/platform_error.h"
#include "support/system_library.h"

namespace velmo {
namespace {

constexpr wchar_t kShlwapi[] = L"shlwapi.dll";
constexpr wchar_t kOpenVerb[] = L"open";
// A browser's command is far shorter; a longer one is asked for by its size.
constexpr DWORD kFirstBufferLength = 512;
// CLSID_ApplicationAssociationRegistration, written out so that no GUID library is needed.
constexpr CLSID kAssociationRegistrationClass = {
    0x591209c7, 0x767b, 0x42b2, {0x9f, 0xba, 0x44, 0xee, 0x46, 0x15, 0xf2, 0xc7}};

using AssocQueryString = decltype(&::AssocQueryStringW);

std::optional<std::wstring> QueryCommand(AssocQueryString query, ASSOCF flags,
                                         const wchar_t* association) {
  std::wstring command(kFirstBufferLength, L'\0');
  // With ASSOCF_NOTRUNCATE a short buffer gives E_POINTER and the length needed: one retry.
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(command.size());
    const HRESULT result =
        query(flags, ASSOCSTR_COMMAND, association, kOpenVerb, command.data(), &length);
    if (result == E_POINTER && length > command.size()) {
      command.assign(length, L'\0');
      continue;
    }
    if (result != S_OK) return std::nullopt;
    // The length counts the terminating NUL.
    command.resize(wcsnlen(command.c_str(), command.size()));
    return command;
  }
  return std::nullopt;
}

// The ProgId (or machine-default command line) of the protocol's current default.
std::optional<std::wstring> CurrentDefault(const wchar_t* protocol) {
  std::optional<OleApi> ole;
  if (!SkipIfFails([&] { ole.emplace(); })) return std::nullopt;
  const ComApartment apartment(*ole);
  if (!apartment.Usable()) return std::nullopt;
  ComPtr<IApplicationAssociationRegistration> registration;
  if (FAILED(ole->CreateInstance(kAssociationRegistrationClass, CLSCTX_INPROC_SERVER,
                                 __uuidof(IApplicationAssociationRegistration),
                                 registration.PutVoid()))) {
    return std::nullopt;
  }
  LPWSTR association = nullptr;
  if (FAILED(registration->QueryCurrentDefault(protocol, AT_URLPROTOCOL, AL_EFFECTIVE,
                                               &association)) ||
      association == nullptr) {
    return std::nullopt;
  }
  std::wstring text(association);
  ole->FreeTaskMemory(association);
  return text;
}

std::optional<std::wstring> ExpandEnvironment(const std::wstring& text) {
  const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return std::nullopt;
  std::wstring expanded(needed, L'\0');
  const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed);
  if (written == 0 || written > needed) return std::nullopt;
  expanded.resize(written - 1);
  return expanded;
}

}  // namespace

AssociationRule CurrentAssociationRule() {
  // Windows 8 is version 6.2, which VerifyVersionInfo reports without a manifest too.
  return IsWindows8OrGreater() ? AssociationRule::kProtocolQuery : AssociationRule::kCurrentDefault;
}

std::optional<std::wstring> ChooseProtocolCommand(AssociationRule rule,
                                                  const AssociationQueries& queries) {
  if (rule == AssociationRule::kProtocolQuery) {
    // A failed query (a packaged default browser has no open command) cannot tell: the classes
    // root still holds whatever was registered before the user's choice.
    return queries.protocolCommand();
  }
  // QueryCurrentDefault gives "the default application launched by ShellExecute for that type":
  // a ProgId, except that "a machine default protocol ... is a legacy string indicating a command
  // line to a .exe handler instead of a ProgID".
  const std::optional<std::wstring> current = queries.currentDefault();
  if (!current) return std::nullopt;
  if (std::optional<std::wstring> command = queries.progIdCommand(*current)) return command;
  return current;
}

std::optional<std::wstring> ProtocolOpenCommand(const wchar_t* protocol) {
  // Pinned: the shell's association objects may stay behind in the process after the call.
  HMODULE shlwapi = nullptr;
  if (!SkipIfFails([&] { shlwapi = LoadPinnedSystemLibrary(kShlwapi); })) return std::nullopt;
  const auto query = SystemProcedure<AssocQueryString>(shlwapi, "AssocQueryStringW");
  if (query == nullptr) return std::nullopt;
  const AssociationQueries queries{
      [&] { return QueryCommand(query, kProtocolQueryFlags, protocol); },
      [&] { return CurrentDefault(protocol); },
      [&](const std::wstring& progId) {
        return QueryCommand(query, ASSOCF_NOTRUNCATE, progId.c_str());
      },
  };
  const std::optional<std::wstring> command =
      ChooseProtocolCommand(CurrentAssociationRule(), queries);
  if (!command) return std::nullopt;
  return ExpandEnvironment(*command);
}

}  // namespace velmo
