// This process's rights compared with those of the desktop it was started on. The desktop's shell
// (the process that owns GetShellWindow()) runs as the user of the desktop, unelevated where UAC
// is on; the browser runs like it. The tool compares itself with that process rather than with
// fixed token types: under some systems (Wine among them) every process, the shell included,
// reports itself elevated.
#pragma once
#include <optional>
#include <string>

namespace velmo {

// What is compared.
struct RightsFacts {
  bool sameAccount = true;     // the tool runs as the account the shell runs as
  bool toolElevated = false;   // the tool's token is elevated
  bool shellElevated = false;  // the shell's token is elevated
  bool linkedToken = false;    // the tool's token has a linked (unelevated) token
};

// What the tool does about it.
struct RightsDecision {
  // Someone typed another account's password: that account's profile and temporary folder are
  // not the desktop user's, so commands that change the installation refuse.
  bool otherAccount = false;
  // Elevated over an unelevated shell: the write check before a change is also made for the
  // unelevated (linked) token, the rights the browser will have.
  bool checkWriteUnelevated = false;
  // Elevated over an unelevated shell: programs are started through the shell, unelevated.
  bool launchThroughShell = false;
  friend bool operator==(const RightsDecision&, const RightsDecision&) = default;
};

// nullopt facts (no shell window to compare with) decide nothing: as usual.
RightsDecision DecideRights(const std::optional<RightsFacts>& facts);

// The decision for this process now, from the facts read off the process and the shell window
// (none when there is no shell window or its process cannot be asked).
RightsDecision CurrentRights();

// "DOMAIN\name" of the account this process runs as; empty when it cannot be read.
std::wstring ProcessAccountName();

// Whether this process's linked (unelevated) token is granted the creation of files and folders
// in `folder` by the folder's security descriptor. True when that cannot be told (no linked
// token, no descriptor): the ordinary write check then decides alone.
bool LinkedTokenCanWriteIn(const std::wstring& folder);

}  // namespace velmo
