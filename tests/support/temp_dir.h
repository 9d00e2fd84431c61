// Real temporary folders and files for the tests, and small file helpers.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "model/context.h"

namespace velmo::testing {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
// `hint` becomes part of its name (it may hold Chinese characters or spaces).
class TempDir {
 public:
  explicit TempDir(const std::wstring& hint = L"velmo");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& Path() const { return path_; }
  // Path() + "\" + relative
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

// Removes a folder tree, read-only and hidden files included. True when it is gone.
bool RemoveTree(const std::wstring& path);

// Creates a folder and any missing parents.
void MakeDirs(const std::wstring& path);

// Writes bytes to a file (creating parent folders), replacing what was there.
void WriteBytes(const std::wstring& path, const std::string& bytes);

// The file's bytes, or nullopt when it cannot be read.
std::optional<std::string> ReadBytes(const std::wstring& path);

// Every entry below `root` as "relative\path" (folders end with "\"), sorted; files map to their
// bytes, folders to the empty text. For comparing two trees.
std::map<std::wstring, std::string> TreeSnapshot(const std::wstring& root);

// The tree with "<dir>" in its files' bytes replaced by `dir` in UTF-8.
std::map<std::wstring, std::string> WithDir(std::map<std::wstring, std::string> tree,
                                            const std::wstring& dir);

// A context for `installDir` with the given environment (looked up case-insensitively) and, when
// given, fixed rights instead of the process's.
Context MakeContext(const std::wstring& installDir,
                    const std::map<std::wstring, std::wstring>& environment,
                    std::optional<RightsDecision> rights = std::nullopt);

}  // namespace velmo::testing
