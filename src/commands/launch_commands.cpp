#include "commands/launch_commands.h"

#include <optional>

#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/process_launch.h"

namespace velmo {
namespace {

// Shown when there is no path file or its cache folder does not exist.
constexpr wchar_t kNotPortableText[] = L"检测到未成功绿化。";
constexpr wchar_t kDefaultBrowserSetText[] = L"成功设置Velmo浏览器为默认浏览器";
// What failed, for the error box of a launch that cannot start its program.
constexpr wchar_t kStartFileManagerOperation[] = L"打开资源管理器";
constexpr wchar_t kStartBrowserOperation[] = L"启动Velmo浏览器";

}  // namespace

void ViewCacheFiles(const Context& context, Ui& ui) {
  // Only line 2, the Webkit cache folder, is used; a file of one line gives an empty one.
  const std::optional<PathFileLines> lines = ReadPathFileIfPresent(context.installDir);
  if (!lines || !FolderExists(lines->line2)) {
    ui.Inform(kNotPortableText);
    return;
  }
  OpenFolderInFileManager(lines->line2, WindowState::Normal, kStartFileManagerOperation);
}

void SetAsDefaultBrowser(const Context& context, Ui& ui) {
  // The browser registers itself; the tool does not wait for it. A browser that cannot be
  // started throws before the success box.
  StartProgram(browser::ExecutablePath(context.installDir), {browser::kDefaultBrowserSwitch},
               WindowState::Minimized, kStartBrowserOperation);
  ui.Inform(kDefaultBrowserSetText);
}

void LaunchBrowser(const Context& context, Ui&) {
  StartProgram(browser::ExecutablePath(context.installDir), {}, WindowState::Normal,
               kStartBrowserOperation);
}

}  // namespace velmo
