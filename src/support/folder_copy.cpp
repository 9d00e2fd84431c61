#include "support/folder_copy.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "support/com.h"
#include "support/file_queries.h"
#include "support/ole_api.h"
#include "support/path_text.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr int kShellOperationCancelled = 0x75;

// The shell's lists are ended by two NULs.
std::wstring ShellList(const std::wstring& path) { return path + L'\0'; }

// The entries below a copied folder that the copy leaves out, as paths relative to it.
class Exclusions {
 public:
  explicit Exclusions(const std::vector<std::wstring>& relativePaths) : paths_(relativePaths) {}

  bool Excludes(std::wstring_view relative) const {
    return std::any_of(paths_.begin(), paths_.end(),
                       [&](const std::wstring& path) { return SameName(path, relative); });
  }
  // Whether an excluded entry lies below the folder at `relative`.
  bool HoldsOne(std::wstring_view relative) const {
    return std::any_of(paths_.begin(), paths_.end(), [&](const std::wstring& path) {
      const std::optional<std::wstring_view> below = PartBelow(path, relative);
      return below && !below->empty();
    });
  }

 private:
  const std::vector<std::wstring>& paths_;
};

// `name` below `relative`, a path relative to the copied folder ("" for the folder itself).
std::wstring RelativeBelow(const std::wstring& relative, const std::wstring& name) {
  return relative.empty() ? name : relative + L"\\" + name;
}

// The first entry below `source` without its counterpart below `copy` (folders as folders, files
// of the same size); `source` itself when it cannot be listed; nullopt when every entry has one.
// The shell does not always say when it left a file behind (one held open by another program, or
// one the user chose to skip), so its report alone is not enough. Entries the copy leaves out (at
// `relative` below the copied folder) are not looked for.
std::optional<std::wstring> FirstEntryNotCopied(const std::wstring& source,
                                                const std::wstring& copy,
                                                const Exclusions& excluded,
                                                const std::wstring& relative) {
  std::optional<std::wstring> missing;
  const ListingEnd end = ForEachEntry(source, [&](const DirectoryEntry& entry) {
    const std::wstring entryRelative = RelativeBelow(relative, entry.name);
    if (excluded.Excludes(entryRelative)) return true;
    const std::wstring counterpart = copy + L"\\" + entry.name;
    if (entry.IsFolder()) {
      // A linked folder is checked for its presence only: following links could loop.
      if (!FolderExists(counterpart)) {
        missing = entry.path;
      } else if (!entry.IsLink()) {
        missing = FirstEntryNotCopied(entry.path, counterpart, excluded, entryRelative);
      }
    } else if (FileSize(counterpart) !=
               // The listing gives a symbolic link's own size (0); the shell copies its target.
               (entry.IsLink() ? FileSizeThroughLink(entry.path) : entry.size)) {
      missing = entry.path;
    }
    return !missing;
  });
  if (!missing && end != ListingEnd::kComplete) missing = source;
  return missing;
}

// The copy checked: complete when the shell's report allows it and nothing is missing.
CopyResult Checked(CopyResult copy, const std::wstring& source, const std::wstring& destination,
                   const Exclusions& excluded) {
  if (copy.cancelled) return copy;
  const std::optional<std::wstring> missing =
      FolderExists(destination)
          ? FirstEntryNotCopied(source, destination, excluded, std::wstring())
          : std::optional<std::wstring>(source);
  copy.complete = copy.complete && !missing;
  copy.notCopied = missing.value_or(std::wstring());
  return copy;
}

// Runs one shell copy of the entries in the list `from` to `to`. Complete here only says that the
// shell reported success and nothing was aborted: the caller checks the copy itself.
CopyResult RunShellCopy(const std::wstring& from, const std::wstring& to, FILEOP_FLAGS flags,
                        const ShellOperationRunner& run) {
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_COPY;
  operation.pFrom = from.c_str();
  operation.pTo = to.c_str();
  operation.fFlags = flags;
  // The shell's copy engine works with COM objects: it runs in an apartment of this thread.
  // Without shell32 or COM nothing can be copied, which the caller reports as a failed copy.
  std::optional<OleApi> ole;
  if (!SkipIfFails([&] { ole.emplace(); })) return {};
  const ComApartment apartment(*ole);
  int result = 0;
  if (!SkipIfFails([&] { result = run(operation); })) return {};
  CopyResult copy;
  // The user's Cancel is the operation's own result, ERROR_CANCELLED or DE_OPCANCELLED (0x75).
  // fAnyOperationsAborted alone is no cancel: the shell also sets it when it skips an entry after
  // an error, which makes a failed copy.
  copy.cancelled = result == ERROR_CANCELLED || result == kShellOperationCancelled;
  copy.complete = result == 0 && !operation.fAnyOperationsAborted;
  return copy;
}

// With progress the shell shows its progress window and asks its own questions; without, it
// copies silently and makes the folders it needs without asking.
FILEOP_FLAGS ProgressFlags(bool showProgress) {
  return static_cast<FILEOP_FLAGS>(showProgress ? 0 : FOF_SILENT | FOF_NOCONFIRMMKDIR);
}

// The shell's lists of what the copy takes: each entry of `folder` (at `relative` below the
// copied folder) with its own name below `copy`. A folder that holds an excluded entry is made
// in the copy here and its entries are listed instead. False when a folder could not be listed
// or made.
bool ListEntriesToCopy(const std::wstring& folder, const std::wstring& copy,
                       const Exclusions& excluded, const std::wstring& relative,
                       std::wstring& from, std::wstring& to) {
  if (!CreateDirectoryW(copy.c_str(), nullptr)) return false;
  SetFileAttributesW(copy.c_str(), GetFileAttributesW(folder.c_str()));
  const ListingEnd end = ForEachEntry(folder, [&](const DirectoryEntry& entry) {
    const std::wstring entryRelative = RelativeBelow(relative, entry.name);
    if (excluded.Excludes(entryRelative)) return true;
    const std::wstring counterpart = copy + L"\\" + entry.name;
    if (entry.IsFolder() && !entry.IsLink() && excluded.HoldsOne(entryRelative)) {
      return ListEntriesToCopy(entry.path, counterpart, excluded, entryRelative, from, to);
    }
    from += ShellList(entry.path);
    to += ShellList(counterpart);
    return true;
  });
  return end == ListingEnd::kComplete;
}

}  // namespace

CopyResult CopyFolder(const std::wstring& source, const std::wstring& destination,
                      const std::vector<std::wstring>& excluded, bool showProgress,
                      const ShellOperationRunner& run) {
  // The copy always makes a new folder: it never replaces an entry, nor copies into a folder.
  if (EntryExists(destination)) return {};
  const Exclusions exclusions(excluded);
  if (excluded.empty()) {
    // Nothing left out: the folder is copied whole, as one entry.
    const CopyResult copy =
        RunShellCopy(ShellList(source), ShellList(destination), ProgressFlags(showProgress), run);
    return Checked(copy, source, destination, exclusions);
  }
  if (!FolderExists(source)) return {};
  // Every entry gets its own destination name (FOF_MULTIDESTFILES), all in one operation, so
  // that the left-out entries are never touched and the source stays as it is.
  std::wstring from;
  std::wstring to;
  if (!ListEntriesToCopy(source, destination, exclusions, std::wstring(), from, to)) return {};
  const FILEOP_FLAGS flags = static_cast<FILEOP_FLAGS>(ProgressFlags(showProgress) |
                                                       FOF_MULTIDESTFILES | FOF_NOCONFIRMMKDIR);
  CopyResult copy;
  copy.complete = true;
  if (!from.empty()) copy = RunShellCopy(from, to, flags, run);
  return Checked(copy, source, destination, exclusions);
}

}  // namespace velmo
