#include "commands/launch_commands.h"

#include <optional>

#include "commands/preflight.h"
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
// No route starts the browser without the tool's elevation.
constexpr wchar_t kNoUnelevatedStartLead[] =
    L"本工具正在以管理员身份运行，但无法以当前用户的普通权限启动Velmo浏览器。"
    L"以管理员身份运行的浏览器会让打开的网页获得过高的权限，所以";
constexpr wchar_t kNoUnelevatedLaunchEnd[] =
    L"没有启动它。\r\n请从桌面或开始菜单直接启动Velmo浏览器。";
constexpr wchar_t kNoUnelevatedDefaultEnd[] =
    L"没有把它设置为默认浏览器。\r\n请不要以管理员身份运行本工具，再点击“将绿化版Velmo浏览器设置为默认浏览器”。";

constexpr wchar_t kNoUnelevatedFileManagerText[] =
    L"本工具正在以管理员身份运行，但无法以当前用户的普通权限打开资源管理器。以管理员身份运行的"
    L"资源管理器会让从中打开的程序获得过高的权限，所以没有打开缓存文件夹。\r\n"
    L"请从桌面打开缓存文件夹：\r\n";

// Starts the browser here for the desktop's user. False after a box when it cannot be started
// so; throws PlatformError when the browser is missing or its start fails.
bool StartBrowser(const Context& context, Ui& ui, const std::vector<std::wstring>& arguments,
                  WindowState state, const wchar_t* noRouteEnd) {
  const RightsDecision rights = context.rights();
  if (!RunsAsDesktopUser(ui, rights)) return false;
  if (StartProgramBy(rights.launchRoutes, browser::ExecutablePath(context.installDir), arguments,
                     state, kStartBrowserOperation)) {
    return true;
  }
  ui.Inform(kNoUnelevatedStartLead + std::wstring(noRouteEnd), BoxTitle::kTool);
  return false;
}

}  // namespace

void ViewCacheFiles(const Context& context, Ui& ui) {
  // Only line 2, the Webkit cache folder, is used; a file of one line gives an empty one.
  const std::optional<PathFileLines> lines = ReadPathFileIfPresent(context.installDir);
  if (!lines || !FolderExists(lines->line2)) {
    ui.Inform(kNotPortableText);
    return;
  }
  // The file manager starts what the user opens in it with its own rights and account: it runs
  // as the browser would, or not at all.
  const RightsDecision rights = context.rights();
  if (!RunsAsDesktopUser(ui, rights)) return;
  if (!OpenFolderInFileManager(rights.launchRoutes, lines->line2, WindowState::Normal,
                               kStartFileManagerOperation)) {
    ui.Inform(kNoUnelevatedFileManagerText + lines->line2, BoxTitle::kTool);
  }
}

void SetAsDefaultBrowser(const Context& context, Ui& ui) {
  // The browser registers itself; the tool does not wait for it. A browser that cannot be
  // started throws before the success box.
  if (StartBrowser(context, ui, {browser::kDefaultBrowserSwitch}, WindowState::Minimized,
                   kNoUnelevatedDefaultEnd)) {
    ui.Inform(kDefaultBrowserSetText);
  }
}

void LaunchBrowser(const Context& context, Ui& ui) {
  StartBrowser(context, ui, {}, WindowState::Normal, kNoUnelevatedLaunchEnd);
}

}  // namespace velmo
