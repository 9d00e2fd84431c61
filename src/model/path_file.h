// The path file: the small text file beside the browser that names its configuration, Webkit
// cache and cookies folders. ANSI code page, every line ended by CR LF, always written whole.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/lock_retry.h"

namespace velmo {

struct PathFileLines {
  std::wstring line1;  // configuration folder (or the word "Setting")
  std::wstring line2;  // Webkit cache folder
  std::wstring line3;  // cookies folder (absent in the relative form)
};

// Writes `lines` to <installDir>\path: each converted to the ANSI code page and ended by CR LF.
// The bytes go to a temporary file in the same folder that then replaces the path file, so a
// failed write never leaves the browser a truncated file. Throws PlatformError on failure. A brief
// hold on the path file is waited out from `retries`; a read-only attribute on it is cleared,
// never waited for.
void WritePathFile(const std::wstring& installDir, const std::vector<std::wstring>& lines,
                   RetryBudget& retries);

// Deletes the path file (read-only too), waiting out a brief hold from `retries`. Throws
// PlatformError when it cannot.
void DeletePathFile(const std::wstring& installDir, RetryBudget& retries);

// The two forms in which the tool writes the path file.
enum class PathFileForm {
  kAbsolute,  // <dir>\Setting, the cache folder, <dir>\Setting\Cookies
  kRelative,  // the word "Setting" and the cache folder
};

// The lines of the path file in `form` with `cacheFolder`, for the installation in `installDir`.
std::vector<std::wstring> PathFileLinesFor(const std::wstring& installDir, PathFileForm form,
                                           const std::wstring& cacheFolder);

// Line 2 for the Webkit cache folder `cacheFolder`, spelled so that the browser can use it: the
// folder's path when the ANSI code page can spell it; otherwise the folder is created if it is
// missing and its short (8.3) path is taken when that can be spelled. nullopt when neither can
// (short names are often turned off): no path with replacement characters is ever written.
std::optional<std::wstring> CacheFolderLine(const std::wstring& cacheFolder);

// A line of the path file as it may be shown: up to its first NUL, where a label or a box would
// end the text.
std::wstring ShownLine(const std::wstring& line);

// Checks that the path file could be written now: the installation folder takes a new file
// beside it, and an existing path file is a file that no other program holds against writing or
// deletion (a read-only one: against the change of its attributes or deletion). Leaves nothing
// behind. Throws PlatformError (the same report as a failed write) when it could not.
void CheckPathFileReplaceable(const std::wstring& installDir);

// Reads <installDir>\Path, or nullopt when there is no path file (nothing, or a folder, of that
// name). Throws PlatformError when it exists but cannot be opened or read.
std::optional<PathFileLines> ReadPathFileIfPresent(const std::wstring& installDir);

// The path file's bytes as they are on disk, or nullopt when there is no path file (nothing, or a
// folder, of that name). Throws PlatformError when it exists but cannot be read, or when whether
// it exists cannot be asked.
std::optional<std::string> ReadPathFileBytes(const std::wstring& installDir);

// Splits the file's bytes into its first three lines (as ANSI bytes, converted): a line ends at
// CR or CR LF, a lone LF is text, the end of the file ends the last line; later lines dropped.
PathFileLines ParsePathFileBytes(std::string_view bytes);

// The bytes WritePathFile puts on disk for `lines`.
std::string PathFileBytes(const std::vector<std::wstring>& lines);

}  // namespace velmo
