// The main window's layout as data: every control with its caption, position and size in twips
// (1440 to the inch), tab index and font. MainWindow converts it to pixels at the window's DPI.
#pragma once
#include <windows.h>

#include <array>

namespace velmo {

enum class ControlKind { Label, Frame, Button, TextBox };
enum class FontKind { Default, Heading, TextBox };

// Control identifiers. None is IDOK (1) or IDCANCEL (2): Enter and Esc must not run a command.
enum ControlId : int {
  // The six buttons, one per command.
  kSetButton = 101,
  kBrowseButton,
  kMoveFolderButton,
  kViewCacheButton,
  kDefaultBrowserButton,
  kLaunchButton,
  // The text box with the Webkit cache folder that Browse fills and Move folder records.
  kCacheFolderEdit = 201,
  // Headings, the line that explains Set, and the information panel's two lines.
  kGeneralHeading = 301,
  kSetDescription,
  kAdvancedHeading,
  kInformationHeading,
  kVersionLabel,
  kPathFileLabel,
  // The group boxes around Set, around the cache folder controls, and the information panel.
  kSetFrame = 401,
  kCacheFolderFrame,
  kInformationFrame,
};

struct ControlLayout {
  int id;
  ControlKind kind;
  const wchar_t* caption;
  int left, top, width, height;  // twips, relative to the window's client area
  int tabIndex;
  FontKind font;
};

inline constexpr int kClientWidthTwips = 7095;
inline constexpr int kClientHeightTwips = 5535;
inline constexpr int kTwipsPerInch = 1440;

// The sixteen controls from top to bottom.
extern const std::array<ControlLayout, 16> kMainWindowControls;

// twips -> pixels at `dpi`, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);

// Typographic points -> a LOGFONT height (negative: character height) at `dpi`.
// `tenthsOfPoint` is the size in tenths of a point (105 for 10.5 pt).
int PointsToFontHeight(int tenthsOfPoint, int dpi);

// The font of a kind of control at `dpi`, all 宋体 with the GB2312 character set:
// headings 10.5 pt bold, the text box 12 pt, every other control 9 pt. The 9 pt font is sized by
// its cell (line) height, which for 宋体 is the same as its character height; a face the system
// substitutes for 宋体 then still fits two lines into the 375-twip labels and buttons.
LOGFONTW FontFor(FontKind kind, int dpi);

}  // namespace velmo
