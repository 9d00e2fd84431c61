#include "commands/command_steps.h"

#include "commands/write_protection.h"
#include "support/file_queries.h"

namespace velmo {
namespace {

constexpr wchar_t kQuestionStart[] = L"检测到当前绿色版存放的路径：“";
constexpr wchar_t kQuestionAfterPath[] =
    L"”。存在中文字符，请将绿色版复制到非中文的路径再开始制作。\r\n"
    L"是否需要停止当前绿色版的制作？如果选择“是”则停止制作，如果选择“否”则强制在当前目录下制作"
    L"绿色版，这样制作的绿色版将无法使用部分浏览器插件";

constexpr wchar_t kForeignCacheStart[] = L"无法使用以下缓存文件夹：\r\n";
constexpr wchar_t kForeignCacheEnd[] =
    L"\r\n它的路径中含有其他语言的文字，Velmo浏览器无法使用这样的缓存文件夹。"
    L"请将环境变量TEMP指向一个路径中不含其他语言文字的文件夹后再试。";

}  // namespace

std::wstring DoubleBytePathQuestion(const std::wstring& settingFolder) {
  return kQuestionStart + settingFolder + kQuestionAfterPath;
}

std::optional<PathFileForm> ChoosePathFileForm(Ui& ui, const std::wstring& settingFolder) {
  if (!NeedsRelativeForm(settingFolder)) return PathFileForm::kAbsolute;
  const Answer answer = AskYesNo(ui, DoubleBytePathQuestion(settingFolder));
  if (answer == Answer::kYes) ui.EndNow();
  if (answer == Answer::kNo) return PathFileForm::kRelative;
  return std::nullopt;
}

std::optional<std::wstring> CacheFolderLineOrReport(Ui& ui, const std::wstring& cacheFolder) {
  std::optional<std::wstring> line = CacheFolderLine(cacheFolder);
  if (!line) {
    ui.MsgBox(kForeignCacheStart + cacheFolder + kForeignCacheEnd, kMbOk | kMbIconError,
              kToolTitle);
  }
  return line;
}

bool WritePathFileOrReport(Ui& ui, const std::wstring& installDir, PathFileForm form,
                           const std::wstring& cacheFolder) {
  try {
    CheckDesktopUserCanWrite(installDir);
    WritePathFile(installDir, form, cacheFolder);
    return true;
  } catch (const PlatformError& error) {
    ReportInstallFolderWriteFailure(ui, error, installDir);
    return false;
  }
}

}  // namespace velmo
