#include "commands/start_up.h"

#include "commands/replacement_recovery.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/file_version.h"
#include "support/platform_error.h"

namespace velmo {
namespace {

constexpr wchar_t kMissingBrowserTitle[] = L"错问题提示";
constexpr wchar_t kMissingBrowserText[] =
    L"请将工具放置在Velmo浏览器程序安装目录下再运行。\r\n点击“确定”关闭工具";
constexpr wchar_t kVersionLinePrefix[] = L"当前目录下的Velmo浏览器版本号是：";
constexpr wchar_t kConfigLinePrefix[] = L"配置存放路径：";
constexpr wchar_t kCacheLinePrefix[] = L"缓存存放路径：";

}  // namespace

std::wstring PathFilePanelLines(const std::wstring& installDir) {
  const std::optional<PathFileLines> lines = ReadPathFileIfPresent(installDir);
  if (!lines) return std::wstring();
  // Each line cut at its first NUL, so that a NUL byte in the first line cannot hide the second.
  return kConfigLinePrefix + ShownLine(lines->line1) + L"\r\n" + kCacheLinePrefix +
         ShownLine(lines->line2);
}

StartUpTexts RunStartUp(const Context& context, Ui& ui) {
  StartUpTexts texts;
  const std::wstring browser = browser::ExecutablePath(context.installDir);
  if (!FileExists(browser)) {
    texts.missingBrowser = StartUpError{kMissingBrowserText, kMissingBrowserTitle};
    return texts;
  }
  // Before anything is read: the clean-up may put the path file and Setting back.
  RecoverInterruptedReplacement(context, ui);
  texts.cacheFolder = browser::DefaultCacheFolder(context.Env(L"TEMP"));
  texts.versionLine = kVersionLinePrefix + GetFileVersionText(browser);
  try {
    texts.pathFileLines = PathFilePanelLines(context.installDir);
  } catch (const PlatformError& error) {
    texts.unreadablePathFile = StartUpError{error.Describe(), kToolTitle};
  }
  return texts;
}

}  // namespace velmo
