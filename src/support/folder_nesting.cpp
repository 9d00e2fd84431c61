#include "support/folder_nesting.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "support/file_queries.h"
#include "support/path_text.h"
#include "support/unique_handle.h"

namespace velmo {
namespace {

// The path of the existing entry at `path` with every link, subst and mapped drive on the way
// resolved (GetFinalPathNameByHandleW, the DOS name of its volume); nullopt when it cannot be
// opened or its volume has no drive letter.
std::optional<std::wstring> FinalPath(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  const UniqueFileHandle handle = OpenEntryToQuery(path);
  std::optional<std::wstring> final;
  if (handle) {
    std::wstring out(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle.Get(), out.data(),
                                             static_cast<DWORD>(out.size()), VOLUME_NAME_DOS);
    if (length >= out.size()) {  // too small: the length it needs, its NUL counted
      out.resize(length);
      length = GetFinalPathNameByHandleW(handle.Get(), out.data(),
                                         static_cast<DWORD>(out.size()), VOLUME_NAME_DOS);
    }
    if (length != 0 && length < out.size()) final = out.substr(0, length);
  }
  SetLastError(previousError);
  return final;
}

// Above a share's root ("\\server"): nothing more to open.
bool IsServerPart(const std::wstring& path) {
  return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) &&
         path.find_first_of(L"\\/", 2) == std::wstring::npos;
}

// The identities of the folder at `path` (or, when it does not exist, of its nearest existing
// parent) and of every folder above it, up to its volume's root. The walk goes up the final path,
// so that the parents are the ones the file system holds the folder in, not those of a link.
// nullopt when the final path or an identity on the way cannot be read.
std::optional<std::vector<EntryIdentity>> IdentitiesUpFrom(const std::wstring& path) {
  std::wstring at = FullLongPath(path);
  for (; !at.empty(); at = ParentFolder(at)) {
    // Only "not found" lets the walk go up; a folder that cannot be read cannot be placed.
    const DWORD error = EntryQueryError(at);
    if (error == ERROR_SUCCESS) break;
    if (!IsNotFound(error)) return std::nullopt;
  }
  if (at.empty()) return std::vector<EntryIdentity>();
  const std::optional<std::wstring> final = FinalPath(at);
  if (!final) return std::nullopt;
  std::vector<EntryIdentity> identities;
  for (at = ShownPath(*final); !at.empty() && !IsServerPart(at); at = ParentFolder(at)) {
    const std::optional<EntryIdentity> identity = IdentityOf(at);
    if (!identity) return std::nullopt;
    identities.push_back(*identity);
  }
  return identities;
}

// Whether the folder `outer` is `inner` or holds it.
Nesting FolderHoldsOrIs(const std::wstring& outer, const std::wstring& inner) {
  const DWORD error = EntryQueryError(outer);
  if (IsNotFound(error) || (error == ERROR_SUCCESS && !FolderExists(outer))) {
    return Nesting::kApart;
  }
  if (error != ERROR_SUCCESS) return Nesting::kUnknown;
  return HoldsOrIs(IdentityOf(outer), IdentitiesUpFrom(inner));
}

}  // namespace

Nesting HoldsOrIs(const std::optional<EntryIdentity>& outer,
                  const std::optional<std::vector<EntryIdentity>>& chain) {
  if (!outer || !chain) return Nesting::kUnknown;
  return std::find(chain->begin(), chain->end(), *outer) != chain->end() ? Nesting::kNested
                                                                         : Nesting::kApart;
}

Nesting EitherWay(Nesting aHoldsB, Nesting bHoldsA) {
  if (aHoldsB == Nesting::kNested || bHoldsA == Nesting::kNested) return Nesting::kNested;
  if (aHoldsB == Nesting::kUnknown || bHoldsA == Nesting::kUnknown) return Nesting::kUnknown;
  return Nesting::kApart;
}

Nesting FoldersNested(const std::wstring& a, const std::wstring& b) {
  return EitherWay(FolderHoldsOrIs(a, b), FolderHoldsOrIs(b, a));
}

}  // namespace velmo
