// What the shell runs for a protocol, read through shlwapi.dll and the shell's association
// objects (loaded from System32 on first use, like the other optional system DLLs). Reading only:
// the tool writes nothing to the registry. Where the system's answer cannot be had, the answer is
// "cannot tell", never an older registration the user has since replaced.
#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <functional>
#include <optional>
#include <string>

namespace velmo {

// The flags of the Windows 8 query. Since Windows 8 the user's choice of default program for a
// protocol (UserChoice) is honoured only with ASSOCF_IS_PROTOCOL; without it the shell answers
// with the classes root's entry, which may name a browser the user has since replaced.
// ASSOCF_NOTRUNCATE makes a short buffer an error instead of a cut command.
// ASSOCF_IS_PROTOCOL's value, which the headers declare only for builds aimed at Windows 8.
inline constexpr ASSOCF kAssocfIsProtocol = 0x00001000;
inline constexpr ASSOCF kProtocolQueryFlags = kAssocfIsProtocol | ASSOCF_NOTRUNCATE;

// How the system names the default program of a protocol.
enum class AssociationRule {
  kProtocolQuery,   // Windows 8 and later: AssocQueryString with ASSOCF_IS_PROTOCOL
  kCurrentDefault,  // Windows 7: IApplicationAssociationRegistration::QueryCurrentDefault
};

// The rule of the running system.
AssociationRule CurrentAssociationRule();

// The readings a rule takes; each gives nullopt when the system does not answer.
struct AssociationQueries {
  // The open command of the protocol with kProtocolQueryFlags.
  std::function<std::optional<std::wstring>()> protocolCommand;
  // QueryCurrentDefault(protocol, AT_URLPROTOCOL, AL_EFFECTIVE): a ProgId, or for a machine
  // default a command line.
  std::function<std::optional<std::wstring>()> currentDefault;
  // The open command of a ProgId.
  std::function<std::optional<std::wstring>(const std::wstring&)> progIdCommand;
};

// The default program's open command under `rule`; nullopt when it cannot be told.
std::optional<std::wstring> ChooseProtocolCommand(AssociationRule rule,
                                                  const AssociationQueries& queries);

// The command line of `protocol`'s open verb (for "http": the system's default web browser), as
// the running system resolves it, with environment variables expanded. nullopt when it cannot be
// told: nothing registered, a default program without an open command (a packaged browser), the
// system's association objects or shlwapi.dll not available.
std::optional<std::wstring> ProtocolOpenCommand(const wchar_t* protocol);

}  // namespace velmo
