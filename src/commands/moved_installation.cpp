#include "commands/moved_installation.h"

#include <windows.h>

#include <string_view>

#include "commands/preflight.h"
#include "model/browser_layout.h"
#include "model/path_file.h"
#include "support/file_queries.h"
#include "support/path_text.h"
#include "support/platform_error.h"
#include "support/search_process.h"
#include "support/text_codec.h"

namespace velmo {
namespace {

constexpr wchar_t kQuestionStart[] =
    L"检测到绿色版文件夹已被移动或复制到新的位置。\r\n路径文件中记录的配置文件夹已不存在：\r\n";
constexpr wchar_t kQuestionMiddle[] = L"\r\n当前目录下的配置文件夹：\r\n";
constexpr wchar_t kQuestionEnd[] = L"\r\n是否让Velmo浏览器改用当前目录下的配置文件？";
constexpr wchar_t kRepointedPrefix[] = L"已将Velmo浏览器的配置文件夹改为：\r\n";
constexpr wchar_t kEffectOnStart[] = L"\r\n启动Velmo浏览器后生效。";
constexpr wchar_t kEffectOnRestart[] = L"\r\nVelmo浏览器正在运行中，重启Velmo浏览器后生效。";

// The installation folder that held `setting` ("D:\old" for "D:\old\Setting\"), or nullopt when
// its last component is not the Setting folder's name.
std::optional<std::wstring_view> InstallationOf(std::wstring_view setting) {
  setting = WithoutTrailingSeparators(setting);
  const std::wstring_view name = browser::kSettingFolderName;
  if (setting.size() <= name.size() || !IsSeparator(setting[setting.size() - name.size() - 1]) ||
      !SameName(setting.substr(setting.size() - name.size()), name)) {
    return std::nullopt;
  }
  return WithoutTrailingSeparators(setting.substr(0, setting.size() - name.size()));
}

// Line 1 is cut at its first NUL: a box would end its whole text there.
std::wstring Question(const MovedInstallation& moved) {
  return kQuestionStart + ShownLine(moved.recordedSetting) + kQuestionMiddle +
         moved.currentSetting + kQuestionEnd;
}

}  // namespace

std::wstring CacheFolderAfterMove(const std::wstring& recordedSetting,
                                  const std::wstring& recordedCache,
                                  const std::wstring& installDir,
                                  const std::wstring& defaultCache) {
  if (FolderExists(recordedCache)) return recordedCache;
  const std::optional<std::wstring_view> oldInstallation = InstallationOf(recordedSetting);
  if (!oldInstallation) return defaultCache;
  const std::optional<std::wstring_view> part = PartBelow(recordedCache, *oldInstallation);
  if (!part) return defaultCache;
  const std::wstring mapped = part->empty() ? installDir
                                            : std::wstring(WithoutTrailingSeparators(installDir)) +
                                                  std::wstring(*part);
  // The path file carries line 2 in the ANSI code page: a folder it cannot spell is no use.
  return SurvivesAnsi(mapped) ? mapped : defaultCache;
}

std::optional<MovedInstallation> FindMovedInstallation(const Context& context) {
  const std::wstring& installDir = context.installDir;
  std::optional<PathFileLines> read;
  if (!SkipIfFails([&] { read = ReadPathFileIfPresent(installDir); }) || !read) return std::nullopt;
  const PathFileLines& lines = *read;

  const std::wstring setting = browser::SettingFolder(installDir);
  if (!IsAbsolute(lines.line1) ||
      SameName(WithoutTrailingSeparators(lines.line1), WithoutTrailingSeparators(setting)) ||
      FolderExists(lines.line1) || !FolderExists(setting)) {
    return std::nullopt;
  }
  return MovedInstallation{
      lines.line1, setting,
      CacheFolderAfterMove(lines.line1, lines.line2, installDir,
                           browser::DefaultCacheFolder(context.Env(L"TEMP")))};
}

void OfferMovedInstallationRepair(const Context& context, Ui& ui) {
  const std::optional<MovedInstallation> moved = FindMovedInstallation(context);
  if (!moved) return;
  const RightsDecision rights = context.rights();
  if (!RunsAsDesktopUser(ui, rights) ||
      ui.Ask(Question(*moved)) != Answer::kYes) {
    return;
  }
  // The form Set writes: absolute where the browser can take the Setting folder's path as it
  // is, relative otherwise (the user has just agreed, so no second question).
  const PathFileForm form =
      NeedsRelativeForm(moved->currentSetting) ? PathFileForm::kRelative : PathFileForm::kAbsolute;
  const std::optional<std::wstring> cacheLine = CacheFolderLineOrReport(ui, moved->cacheFolder);
  if (!cacheLine || !WritePathFileOrReport(ui, rights, context.installDir, form, *cacheLine))
    return;
  ui.ShowPathFileLines();
  // A running browser keeps the old folders until it starts again; the change is not refused.
  const bool running = IsProcessRunning(browser::kExecutableName);
  ui.Inform(kRepointedPrefix + moved->currentSetting +
            (running ? kEffectOnRestart : kEffectOnStart));
}

}  // namespace velmo
