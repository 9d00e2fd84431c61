#include "window/main_window_layout.h"

#include <windows.h>

namespace velmo {

// clang-format off
// Each control: id, kind, caption; left, top, width, height (twips), tab index, font.
const std::array<ControlLayout, 16> kMainWindowControls = {{
  {kGeneralHeading, ControlKind::Label, L"常规设置：",
    240,  120, 2535,  255,  5, FontKind::Heading},
  {kSetFrame, ControlKind::Frame, L"将Velmo浏览器配置文件转移到程序目录下",
    120,  480, 6855,  855,  4, FontKind::Default},
  {kSetButton, ControlKind::Button, L"设置",
    240,  830, 1455,  375,  0, FontKind::Default},
  {kSetDescription, ControlKind::Label,
   L"默认将Velmo浏览器配置文件、Cookies转移到程序目录下，将webkit缓存转移到系统缓存文件夹",
   1800,  840, 5055,  375,  6, FontKind::Default},
  {kAdvancedHeading, ControlKind::Label, L"高级设置：",
    240, 1440, 1575,  255,  7, FontKind::Heading},
  {kCacheFolderFrame, ControlKind::Frame, L"自定义（移动）Webkit缓存文件夹",
    120, 1800, 6855, 1815,  8, FontKind::Default},
  {kCacheFolderEdit, ControlKind::TextBox, L"",
    240, 2160, 5415,  360,  2, FontKind::TextBox},
  {kBrowseButton, ControlKind::Button, L"浏览",
   5880, 2145,  975,  375,  1, FontKind::Default},
  {kMoveFolderButton, ControlKind::Button, L"移动文件夹",
    240, 2640, 1455,  375,  3, FontKind::Default},
  {kViewCacheButton, ControlKind::Button, L"查看缓存文件",
   2760, 2640, 1455,  375,  9, FontKind::Default},
  {kLaunchButton, ControlKind::Button, L"启动Velmo浏览器",
   5400, 2640, 1455,  375, 15, FontKind::Default},
  {kDefaultBrowserButton, ControlKind::Button,
   L"将绿化版Velmo浏览器设置为默认浏览器",
    240, 3120, 3975,  375, 11, FontKind::Default},
  {kInformationHeading, ControlKind::Label, L"信息区:",
    240, 3720, 1815,  255, 12, FontKind::Heading},
  {kInformationFrame, ControlKind::Frame, L"当前Velmo浏览器绿化信息",
    120, 4080, 6855, 1455, 10, FontKind::Default},
  {kVersionLabel, ControlKind::Label, L"",
    240, 4320, 6255,  255, 13, FontKind::Default},
  {kPathFileLabel, ControlKind::Label, L"",
    240, 4560, 6615,  795, 14, FontKind::Default},
}};
// clang-format on

int TwipsToPixels(int twips, int dpi) { return MulDiv(twips, dpi, kTwipsPerInch); }

int PointsToFontHeight(int tenthsOfPoint, int dpi) { return -MulDiv(tenthsOfPoint, dpi, 720); }

LOGFONTW FontFor(FontKind kind, int dpi) {
  LOGFONTW font{};
  switch (kind) {
    case FontKind::Heading:
      font.lfHeight = PointsToFontHeight(105, dpi);
      font.lfWeight = FW_BOLD;
      break;
    case FontKind::TextBox:
      font.lfHeight = PointsToFontHeight(120, dpi);
      font.lfWeight = FW_NORMAL;
      break;
    case FontKind::Default:
      font.lfHeight = -PointsToFontHeight(90, dpi);  // positive: cell height
      font.lfWeight = FW_NORMAL;
      break;
  }
  font.lfCharSet = GB2312_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynW(font.lfFaceName, L"宋体", LF_FACESIZE);
  return font;
}

}  // namespace velmo
