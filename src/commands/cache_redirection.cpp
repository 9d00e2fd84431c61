#include "commands/cache_redirection.h"

#include <windows.h>

#include <optional>
#include <string>

#include "commands/preflight.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/platform_error.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

// Browse
constexpr wchar_t kCancelledText[] = L"你点击了取消按钮！";
constexpr wchar_t kChosenFolderPrefix[] = L"你选择的文件夹是：";
constexpr wchar_t kChineseFolderText[] =
    L"您选择的路径存在中文字符，请选择其它不带有中文字符的路径";

// Move folder
constexpr wchar_t kFolderNotFoundPrefix[] = L"目标文件夹不存在，请重新输入正确路径";
constexpr wchar_t kMovedPrefix[] = L"成功将Webkit缓存文件夹移动到：";
constexpr wchar_t kMovedSuffix[] = L"\r\n重启浏览器后生效";
// A folder the browser would receive with '?' in place of some characters.
constexpr wchar_t kUnrepresentablePrefix[] = L"无法记录Webkit缓存文件夹：";
constexpr wchar_t kUnrepresentableSuffix[] =
    L"\r\n该路径含有系统字符集无法表示的字符，浏览器无法识别这样的路径。"
    L"请选择或输入其它路径。";

}  // namespace

void BrowseCacheFolder(const Context&, Ui& ui) {
  std::wstring chosen;
  try {
    chosen = ui.ShowFolderDialog();
  } catch (const PlatformError& error) {
    // The picker could not be shown: say so and leave the cache folder box as it was.
    ui.Fail(error);
    return;
  }
  ui.Inform(chosen.empty() ? std::wstring(kCancelledText) : kChosenFolderPrefix + chosen);
  ui.SetCacheFolderText(chosen);
  // The browser cannot use a cache folder with Chinese characters in its path.
  if (ConChinese(ui.CacheFolderText())) {
    ui.Fail(kChineseFolderText, BoxTitle::kHint);
    ui.SetCacheFolderText(std::wstring());
  }
}

AfterCommand MoveCacheFolder(const Context& context, Ui& ui) {
  // The cache folder box is taken as typed: not trimmed, not normalised, not tested for Chinese
  // characters (the path file carries those in the ANSI code page).
  const RightsDecision rights = context.rights();
  if (!RunsAsDesktopUser(ui, rights)) return AfterCommand::kStayOpen;
  const std::wstring cacheFolder = ui.CacheFolderText();
  if (!SurvivesAnsi(cacheFolder)) {
    ui.Fail(kUnrepresentablePrefix + cacheFolder + kUnrepresentableSuffix, BoxTitle::kHint);
    return AfterCommand::kStayOpen;
  }
  if (!FolderExists(cacheFolder)) {
    // One level only; whether it worked is told by the folder being there afterwards.
    CreateDirectoryW(cacheFolder.c_str(), nullptr);
    if (!FolderExists(cacheFolder)) {
      ui.Say(kFolderNotFoundPrefix + cacheFolder);
      return AfterCommand::kStayOpen;
    }
  }
  // Recorded in the path file, absolute form unless the Setting folder's path cannot go to the
  // browser as it is, then reported. No success box when the path file could not be written (the
  // error is shown instead and the old path file stays whole), or when the question about the
  // Setting folder's path was not answered with No (Yes ends the tool).
  const PathFileChoice choice = ChoosePathFileForm(ui, browser::SettingFolder(context.installDir));
  if (choice.form &&
      WritePathFileOrReport(ui, rights, context.installDir, *choice.form, cacheFolder)) {
    ui.Inform(kMovedPrefix + cacheFolder + kMovedSuffix);
  }
  return choice.after;
}

}  // namespace velmo
