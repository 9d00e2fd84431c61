// What the shell runs for a protocol, read through shlwapi.dll (loaded from System32 on first
// use, like the other optional system DLLs). Reading only: the tool writes nothing to the registry.
#pragma once
#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <string>

namespace velmo {

// The flags of the first query. Since Windows 8 the user's choice of default program for a
// protocol (UserChoice) is honoured only with ASSOCF_IS_PROTOCOL; without it the shell answers
// with the classes root's entry, which may name a browser the user has since replaced.
// ASSOCF_NOTRUNCATE makes a short buffer an error instead of a cut command.
// ASSOCF_IS_PROTOCOL's value, which the headers declare only for builds aimed at Windows 8.
inline constexpr ASSOCF kAssocfIsProtocol = 0x00001000;
inline constexpr ASSOCF kProtocolQueryFlags = kAssocfIsProtocol | ASSOCF_NOTRUNCATE;

// The command line of `protocol`'s open verb (for "http": the system's default web browser), as
// the shell resolves it, with environment variables expanded. When the query with
// kProtocolQueryFlags fails (a system that predates the flag), the classes root's entry is read.
// nullopt when shlwapi.dll or its function cannot be loaded or nothing is registered.
std::optional<std::wstring> ProtocolOpenCommand(const wchar_t* protocol);

}  // namespace velmo
