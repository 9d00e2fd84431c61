// The main window's controls, made and placed in a window of the test: each control gets the font
// its kind of control is drawn with, written out here (face, character set, height, weight).
#include "window/controls.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>
#include <string>

#include "e2e/expected_layout.h"
#include "window/main_window.h"

namespace velmo {
namespace {

struct ExpectedFont {
  int dpi;
  FontKind kind;
  LONG height;  // positive: by cell height; negative: by character height
  LONG weight;
};

// 9 pt by its cell height; 10.5 pt bold and 12 pt by their character height.
constexpr ExpectedFont kExpectedFonts[] = {
    {96, FontKind::Default, 12, 400},  {96, FontKind::Heading, -14, 700},
    {96, FontKind::TextBox, -16, 400}, {144, FontKind::Default, 18, 400},
    {144, FontKind::Heading, -21, 700}, {144, FontKind::TextBox, -24, 400},
    {192, FontKind::Default, 24, 400}, {192, FontKind::Heading, -28, 700},
    {192, FontKind::TextBox, -32, 400},
};

const ExpectedFont& ExpectedFontOf(FontKind kind, int dpi) {
  for (const ExpectedFont& font : kExpectedFonts) {
    if (font.kind == kind && font.dpi == dpi) return font;
  }
  throw std::logic_error("no expected font");
}

// A hidden top-level window that holds the controls; destroyed before the fonts they use.
class Parent {
 public:
  Parent()
      : window_(CreateWindowExW(0, L"Static", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
  ~Parent() { DestroyWindow(window_); }
  Parent(const Parent&) = delete;
  Parent& operator=(const Parent&) = delete;
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

TEST(Controls, EachControlGetsTheFontOfItsKindAtTheDpi) {
  for (const int dpi : {96, 144, 192}) {
    const ControlFonts fonts(dpi);
    const Parent parent;
    ASSERT_NE(parent.Get(), nullptr);
    CreateControls(parent.Get(), GetModuleHandleW(nullptr));
    PlaceControls(parent.Get(), dpi, fonts);
    for (const e2e::ExpectedControl& control : e2e::kExpectedControls) {
      SCOPED_TRACE(std::string(control.name) + " at " + std::to_string(dpi) + " DPI");
      const HWND window = GetDlgItem(parent.Get(), control.id);
      ASSERT_NE(window, nullptr);
      const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
      LOGFONTW actual{};
      ASSERT_EQ(GetObjectW(font, sizeof actual, &actual), static_cast<int>(sizeof actual));
      const ExpectedFont& expected = ExpectedFontOf(control.font, dpi);
      EXPECT_EQ(actual.lfHeight, expected.height);
      EXPECT_EQ(actual.lfWeight, expected.weight);
      EXPECT_EQ(std::wstring(actual.lfFaceName), L"宋体");
      EXPECT_EQ(actual.lfCharSet, 134);  // GB2312
      EXPECT_EQ(actual.lfQuality, 5);    // ClearType
    }
  }
}

// Another process cannot read a window's system menu: the restore's item is checked here.
TEST(SystemMenu, TheRestoreItemComesBeforeCloseWithASeparatorBetween) {
  const HWND window = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(AddRestoreToSystemMenu(window));
  const HMENU menu = GetSystemMenu(window, FALSE);
  int close = GetMenuItemCount(menu) - 1;  // Wine adds an item of its own after 关闭
  while (close > 0 && GetMenuItemID(menu, close) != SC_CLOSE) --close;
  wchar_t text[64] = {};
  GetMenuStringW(menu, close - 2, text, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(text), L"恢复为安装版(&I)...");
  EXPECT_EQ(GetMenuItemID(menu, close - 2), 0x0010u);
  EXPECT_TRUE(GetMenuState(menu, close - 1, MF_BYPOSITION) & MF_SEPARATOR);
  EXPECT_EQ(GetMenuItemID(menu, close), static_cast<UINT>(SC_CLOSE));
  DestroyWindow(window);
}

}  // namespace
}  // namespace velmo
