#include "support/shell_association.h"

#include "support/platform_error.h"
#include "support/system_library.h"

namespace velmo {
namespace {

constexpr wchar_t kShlwapi[] = L"shlwapi.dll";
constexpr wchar_t kOpenVerb[] = L"open";
// A browser's command is far shorter; a longer one is asked for by its size.
constexpr DWORD kFirstBufferLength = 512;

using AssocQueryString = decltype(&::AssocQueryStringW);

std::optional<std::wstring> QueryCommand(AssocQueryString query, ASSOCF flags,
                                         const wchar_t* protocol) {
  std::wstring command(kFirstBufferLength, L'\0');
  // With ASSOCF_NOTRUNCATE a short buffer gives E_POINTER and the length needed: one retry.
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD length = static_cast<DWORD>(command.size());
    const HRESULT result =
        query(flags, ASSOCSTR_COMMAND, protocol, kOpenVerb, command.data(), &length);
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

std::optional<std::wstring> ProtocolOpenCommand(const wchar_t* protocol) {
  // Pinned: the shell's association objects may stay behind in the process after the call.
  HMODULE shlwapi = nullptr;
  if (!SkipIfFails([&] { shlwapi = LoadPinnedSystemLibrary(kShlwapi); })) return std::nullopt;
  const auto query = SystemProcedure<AssocQueryString>(shlwapi, "AssocQueryStringW");
  if (query == nullptr) return std::nullopt;
  std::optional<std::wstring> command = QueryCommand(query, kProtocolQueryFlags, protocol);
  if (!command) command = QueryCommand(query, ASSOCF_NOTRUNCATE, protocol);
  if (!command) return std::nullopt;
  return ExpandEnvironment(*command);
}

}  // namespace velmo
