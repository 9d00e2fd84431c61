#include "model/context.h"

#include <windows.h>

#include "support/path_text.h"

namespace velmo {

std::wstring AppDataFolder(const Context& context) { return ShownPath(context.Env(L"APPDATA")); }

std::wstring Context::Env(const std::wstring& name) const {
  if (!lookup) return {};
  return lookup(name).value_or(std::wstring());
}

std::wstring DirectoryOfFile(const std::wstring& fullFileName) {
  const std::size_t slash = fullFileName.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return {};
  std::wstring directory = fullFileName.substr(0, slash);
  // At a drive's root the directory keeps its separator: "C:\".
  if (directory.size() == 2 && directory[1] == L':') directory += L'\\';
  return directory;
}

std::optional<std::wstring> ProcessEnvironmentVariable(const std::wstring& name) {
  SetLastError(ERROR_SUCCESS);
  DWORD size = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
  if (size == 0) {
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
    return std::wstring();
  }
  std::wstring value;
  DWORD length = 0;
  do {
    value.assign(size, L'\0');
    SetLastError(ERROR_SUCCESS);
    length = GetEnvironmentVariableW(name.c_str(), value.data(), size);
    // An empty value also gives 0: only the error tells an undefined variable apart.
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::wstring();
    }
    if (length < size) break;
    size = length;
  } while (true);
  value.resize(length);
  return value;
}

std::wstring OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD length = 0;
  for (;;) {
    length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) break;
    path.resize(path.size() * 2);
  }
  path.resize(length);
  return path;
}

Context Context::FromProcess() {
  Context context;
  context.installDir = DirectoryOfFile(OwnExecutablePath());
  context.lookup = &ProcessEnvironmentVariable;
  return context;
}

}  // namespace velmo
