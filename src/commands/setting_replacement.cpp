#include "commands/setting_replacement.h"

#include <windows.h>

#include "support/file_queries.h"
#include "support/folder_copy.h"
#include "support/number_text.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kNewCopyTag[] = L".velmo-new-";
constexpr wchar_t kOldCopyTag[] = L".velmo-old-";
constexpr unsigned kMaxNameAttempts = 10000;

bool NothingAt(const std::wstring& path) {
  const DWORD previousError = GetLastError();
  const bool absent = GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
                      GetLastError() == ERROR_FILE_NOT_FOUND;
  SetLastError(previousError);
  return absent;
}

// A name beside `path` that nothing uses yet; empty when none was found.
std::wstring UnusedSibling(const std::wstring& path, const wchar_t* tag) {
  const std::wstring stem = path + tag + DecimalText(GetCurrentProcessId()) + L"-";
  for (unsigned attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    std::wstring candidate = stem + DecimalText(attempt);
    if (NothingAt(candidate)) return candidate;
  }
  return {};
}

// Removes a folder or a file, read-only ones too. True when it is gone.
bool Remove(const std::wstring& path, const FolderDeleter& deleter) {
  if (FolderExists(path)) return SkipIfFails([&] { deleter.DeleteFolder(path); });
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) != 0;
}

void Discard(const std::wstring& path, const FolderDeleter& deleter) {
  if (!NothingAt(path)) Remove(path, deleter);
}

// What may stand at the Setting path and be replaced: a folder, or a plain file (not hidden, not
// system: such a file is never the user's old configuration, and is left alone).
bool Replaceable(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
         (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool Rename(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), 0) != 0;
}

}  // namespace

ReplacementResult ReplaceWithCopy(const std::wstring& profile, const std::wstring& setting,
                                  const FolderDeleter& deleter) {
  const bool occupied = !NothingAt(setting);
  if (occupied && !Replaceable(setting)) return {ReplacementStatus::kBlocked, setting};

  const std::wstring fresh = UnusedSibling(setting, kNewCopyTag);
  if (fresh.empty() || !CopyFolder(profile, fresh, true, true)) {
    if (!fresh.empty()) Discard(fresh, deleter);
    return {ReplacementStatus::kCopyFailed, profile};
  }

  std::wstring aside;
  if (occupied) {
    // Checked before anything moves: some systems let a folder be renamed while a file in it is
    // open, and its deletion would then fail halfway.
    if (FolderExists(setting)) {
      if (auto inUse = FindEntryInUse(setting)) {
        Discard(fresh, deleter);
        return {ReplacementStatus::kInUse, *inUse};
      }
    }
    aside = UnusedSibling(setting, kOldCopyTag);
    if (aside.empty() || !Rename(setting, aside)) {
      Discard(fresh, deleter);
      return {ReplacementStatus::kInUse, setting};
    }
  }

  if (!Rename(fresh, setting)) {
    if (!aside.empty()) Rename(aside, setting);
    Discard(fresh, deleter);
    return {ReplacementStatus::kBlocked, setting};
  }

  if (!aside.empty() && !Remove(aside, deleter)) return {ReplacementStatus::kOldLeftBehind, aside};
  return {ReplacementStatus::kDone, {}};
}

}  // namespace velmo
