// What a command needs to know about where it runs: the installation directory, the environment
// and the tool's rights beside the desktop's. Production fills it from the process; tests point
// it at temporary folders and may give fixed rights.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "support/desktop_rights.h"

namespace velmo {

struct Context {
  // Directory of the tool's executable, without a trailing separator except at a drive root.
  std::wstring installDir;
  // Looks an environment variable up by name (case-insensitively, as the platform does);
  // nullopt when it is not defined.
  std::function<std::optional<std::wstring>(const std::wstring&)> lookup;

  // The tool's account and elevation compared with the desktop's, asked when a command needs
  // them (each command asks once; the start-up only when there is interrupted work to settle).
  std::function<RightsDecision()> rights = &CurrentRights;

  // The variable's value, or the empty text when it is not defined.
  std::wstring Env(const std::wstring& name) const;

  // The context of the running tool: its executable's directory and the process environment.
  static Context FromProcess();
};

// This user's APPDATA as every command takes it: as a box shows it (ShownPath), so that Set, the
// restore and the start-up recovery name the same folders the same way ("C:\\a\\" -> "C:\\a",
// a drive's root stays "D:\\"); empty when it is not set.
std::wstring AppDataFolder(const Context& context);

// The directory part of a full file name, as the tool reports its installation directory:
// "C:\a\b\x.exe" -> "C:\a\b", "C:\x.exe" -> "C:\".
std::wstring DirectoryOfFile(const std::wstring& fullFileName);

// Full path of the running tool's own executable, as the platform reports it.
std::wstring OwnExecutablePath();

// The process's own environment variable, or nullopt when it is not defined.
std::optional<std::wstring> ProcessEnvironmentVariable(const std::wstring& name);

}  // namespace velmo
