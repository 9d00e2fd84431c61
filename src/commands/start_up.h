// The start-up's work before the main window shows: the refusal when the tool does not sit
// beside the browser, the clean-up after an interrupted Set or restore, and the texts the window
// opens with (the default cache folder, the browser's version and the folders the path file
// records).
#pragma once
#include <optional>
#include <string>

#include "model/context.h"
#include "model/ui.h"

namespace velmo {

// An error box of the start-up: an OK button and the error icon, shown before the window.
struct StartUpError {
  std::wstring text;
  std::wstring title;
};

struct StartUpTexts {
  // Set when velmoexplorer.exe is not a file in the installation folder: the box is shown and
  // the tool ends. Nothing else is done then.
  std::optional<StartUpError> missingBrowser;
  // %TEMP%\WebkitCache, for the cache folder box.
  std::wstring cacheFolder;
  // "当前目录下的Velmo浏览器版本号是：" and the browser's file version (nothing when it has none).
  std::wstring versionLine;
  // "配置存放路径：" and the path file's first line, CR LF, "缓存存放路径：" and its second line,
  // each line up to its first NUL; empty when there is no path file or it cannot be read.
  std::wstring pathFileLines;
  // Set when the path file exists but cannot be read; the window opens after the box.
  std::optional<StartUpError> unreadablePathFile;
};

// What the information panel shows for the path file as it is on disk now: "配置存放路径：" and its
// first line, CR LF, "缓存存放路径：" and its second line, each line up to its first NUL; empty when
// there is no path file. Throws PlatformError when the path file exists but cannot be read.
std::wstring PathFilePanelLines(const std::wstring& installDir);

// Checks for the browser; when it is there, settles what an interrupted replacement left behind
// (its boxes go through `ui`; only for the desktop's user, as the context's rights say: another or
// an unknown account leaves the journal and every entry it names for that user's next start),
// then reads the texts.
StartUpTexts RunStartUp(const Context& context, Ui& ui);

}  // namespace velmo
