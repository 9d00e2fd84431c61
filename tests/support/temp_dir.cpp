#include "support/temp_dir.h"

#include <windows.h>

#include <stdexcept>

#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo::testing {
namespace {

std::wstring SystemTempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  std::wstring path(buffer, length);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

void Snapshot(const std::wstring& root, const std::wstring& relative,
              std::map<std::wstring, std::string>& out) {
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out[child + L"\\"] = std::string();
      Snapshot(root, child, out);
    } else {
      out[child] = ReadBytes(root + L"\\" + child).value_or("<unreadable>");
    }
  } while (FindNextFileW(find.Get(), &data));
}

}  // namespace

TempDir::TempDir(const std::wstring& hint) {
  const std::wstring base = SystemTempFolder();
  for (unsigned attempt = 0;; ++attempt) {
    const std::wstring candidate = base + L"\\" + hint + L"-" +
                                   std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) {
      throw std::runtime_error("cannot create a temporary folder");
    }
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

bool RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
  }
  WIN32_FIND_DATAW data;
  {
    UniqueFindHandle find(FindFirstFileW((path + L"\\*").c_str(), &data));
    if (find) {
      do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (FindNextFileW(find.Get(), &data));
    }
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return RemoveDirectoryW(path.c_str()) != 0;
}

void MakeDirs(const std::wstring& path) {
  if (path.empty()) return;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash > 2) MakeDirs(path.substr(0, slash));
  CreateDirectoryW(path.c_str(), nullptr);
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  const std::size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) MakeDirs(path.substr(0, slash));
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot write " + ToUtf8(path));
  DWORD written = 0;
  if (!bytes.empty() &&
      !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
    throw std::runtime_error("cannot write " + ToUtf8(path));
  }
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  UniqueFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

std::map<std::wstring, std::string> TreeSnapshot(const std::wstring& root) {
  std::map<std::wstring, std::string> out;
  Snapshot(root, L"", out);
  return out;
}

std::map<std::wstring, std::string> WithDir(std::map<std::wstring, std::string> tree,
                                            const std::wstring& dir) {
  for (auto& [name, bytes] : tree) {
    for (std::size_t at; (at = bytes.find("<dir>")) != std::string::npos;) {
      bytes.replace(at, 5, ToUtf8(dir));
    }
  }
  return tree;
}

Context MakeContext(const std::wstring& installDir,
                    const std::map<std::wstring, std::wstring>& environment,
                    std::optional<RightsDecision> rights) {
  std::map<std::wstring, std::wstring> upper;
  for (const auto& [name, value] : environment) upper[Upper(name)] = value;
  Context context;
  context.installDir = installDir;
  context.lookup = [upper](const std::wstring& name) -> std::optional<std::wstring> {
    const auto found = upper.find(Upper(name));
    if (found == upper.end()) return std::nullopt;
    return found->second;
  };
  if (rights) context.rights = [fixed = *rights] { return fixed; };
  return context;
}

}  // namespace velmo::testing
