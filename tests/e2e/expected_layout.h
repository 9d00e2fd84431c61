// The main window as its users know it, written out here by hand rather than taken from the
// tool's own layout table: a control moved, resized or recaptioned there fails the layout tests.
// Positions and sizes are in twips (1440 to the inch, 15 to a pixel at 96 DPI), relative to the
// client area.
#pragma once
#include "window/main_window_layout.h"

namespace velmo::e2e {

inline constexpr int kExpectedClientWidthTwips = 7095;
inline constexpr int kExpectedClientHeightTwips = 5535;

struct ExpectedControl {
  int id;
  const char* name;
  ControlKind kind;
  const wchar_t* caption;  // nullptr: filled in by the start-up
  int left, top, width, height;
  FontKind font;
};

// clang-format off
inline constexpr ExpectedControl kExpectedControls[] = {
  {kGeneralHeading, "常规设置 heading", ControlKind::Label, L"常规设置：",
    240,  120, 2535,  255, FontKind::Heading},
  {kSetFrame, "Set frame", ControlKind::Frame, L"将Velmo浏览器配置文件转移到程序目录下",
    120,  480, 6855,  855, FontKind::Default},
  {kSetButton, "设置 button", ControlKind::Button, L"设置",
    240,  830, 1455,  375, FontKind::Default},
  {kSetDescription, "Set description", ControlKind::Label,
   L"默认将Velmo浏览器配置文件、Cookies转移到程序目录下，将webkit缓存转移到系统缓存文件夹",
   1800,  840, 5055,  375, FontKind::Default},
  {kAdvancedHeading, "高级设置 heading", ControlKind::Label, L"高级设置：",
    240, 1440, 1575,  255, FontKind::Heading},
  {kCacheFolderFrame, "cache folder frame", ControlKind::Frame, L"自定义（移动）Webkit缓存文件夹",
    120, 1800, 6855, 1815, FontKind::Default},
  {kCacheFolderEdit, "cache folder box", ControlKind::TextBox, nullptr,
    240, 2160, 5415,  360, FontKind::TextBox},
  {kBrowseButton, "浏览 button", ControlKind::Button, L"浏览",
   5880, 2145,  975,  375, FontKind::Default},
  {kMoveFolderButton, "移动文件夹 button", ControlKind::Button, L"移动文件夹",
    240, 2640, 1455,  375, FontKind::Default},
  {kViewCacheButton, "查看缓存文件 button", ControlKind::Button, L"查看缓存文件",
   2760, 2640, 1455,  375, FontKind::Default},
  {kLaunchButton, "启动 button", ControlKind::Button, L"启动Velmo浏览器",
   5400, 2640, 1455,  375, FontKind::Default},
  {kDefaultBrowserButton, "默认浏览器 button", ControlKind::Button,
   L"将绿化版Velmo浏览器设置为默认浏览器",
    240, 3120, 3975,  375, FontKind::Default},
  {kInformationHeading, "信息区 heading", ControlKind::Label, L"信息区:",
    240, 3720, 1815,  255, FontKind::Heading},
  {kInformationFrame, "information frame", ControlKind::Frame, L"当前Velmo浏览器绿化信息",
    120, 4080, 6855, 1455, FontKind::Default},
  {kVersionLabel, "version line", ControlKind::Label, nullptr,
    240, 4320, 6255,  255, FontKind::Default},
  {kPathFileLabel, "path file lines", ControlKind::Label, nullptr,
    240, 4560, 6615,  795, FontKind::Default},
};
// clang-format on

}  // namespace velmo::e2e
