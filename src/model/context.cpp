#include "model/context.h"

#include <windows.h>

#include <vector>

namespace velmo {

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
  std::vector<wchar_t> buffer;
  DWORD length = 0;
  do {
    buffer.assign(size, L'\0');
    SetLastError(ERROR_SUCCESS);
    length = GetEnvironmentVariableW(name.c_str(), buffer.data(), size);
    // An empty value also gives 0: only the error tells an undefined variable apart.
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::wstring();
    }
    if (length < size) break;
    size = length;
  } while (true);
  return std::wstring(buffer.data(), length);
}

std::wstring OwnExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = 0;
  for (;;) {
    length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) break;
    buffer.resize(buffer.size() * 2);
  }
  return std::wstring(buffer.data(), length);
}

Context Context::FromProcess() {
  Context context;
  context.installDir = DirectoryOfFile(OwnExecutablePath());
  context.lookup = &ProcessEnvironmentVariable;
  return context;
}

}  // namespace velmo
