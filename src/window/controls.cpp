#include "window/controls.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstddef>

namespace velmo {
namespace {

UniqueFont MakeFont(FontKind kind, int dpi) {
  const LOGFONTW font = FontFor(kind, dpi);
  return UniqueFont(CreateFontIndirectW(&font));
}

// The window class, the style and the extended style of a control kind.
struct ControlClass {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

ControlClass ClassOf(ControlKind kind) {
  constexpr DWORD common = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  switch (kind) {
    case ControlKind::Label:
      return {WC_STATICW, common | SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::Frame:
      return {WC_BUTTONW, common | BS_GROUPBOX, 0};
    case ControlKind::Button:
      return {WC_BUTTONW, common | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::TextBox:
      return {WC_EDITW, common | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
  }
  return {WC_STATICW, common, 0};
}

// Whether `a` is created before `b`: the controls in the order of their tab indexes, frames last
// so that they lie beneath the controls drawn inside their boxes.
bool CreatedBefore(const ControlLayout& a, const ControlLayout& b) {
  const bool aFrame = a.kind == ControlKind::Frame;
  const bool bFrame = b.kind == ControlKind::Frame;
  if (aFrame != bFrame) return bFrame;
  return a.tabIndex < b.tabIndex;
}

// Creation order gives the z-order and so the Tab order; among equals the table's order stays.
std::array<const ControlLayout*, kMainWindowControls.size()> CreationOrder() {
  std::array<const ControlLayout*, kMainWindowControls.size()> order{};
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = &kMainWindowControls[i];
  std::stable_sort(order.begin(), order.end(), [](const ControlLayout* a, const ControlLayout* b) {
    return CreatedBefore(*a, *b);
  });
  return order;
}

}  // namespace

void CreateControls(HWND parent, HINSTANCE instance) {
  for (const ControlLayout* control : CreationOrder()) {
    const ControlClass controlClass = ClassOf(control->kind);
    CreateWindowExW(controlClass.exStyle, controlClass.className, control->caption,
                    controlClass.style, 0, 0, 0, 0, parent,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(control->id)), instance,
                    nullptr);
  }
  // The cache folder box takes text of any length.
  SendMessageW(GetDlgItem(parent, kCacheFolderEdit), EM_SETLIMITTEXT, 0, 0);
}

ControlFonts::ControlFonts(int dpi)
    : default_(MakeFont(FontKind::Default, dpi)),
      heading_(MakeFont(FontKind::Heading, dpi)),
      textBox_(MakeFont(FontKind::TextBox, dpi)) {}

HFONT ControlFonts::For(FontKind kind) const {
  switch (kind) {
    case FontKind::Heading:
      return heading_.Get();
    case FontKind::TextBox:
      return textBox_.Get();
    case FontKind::Default:
      break;
  }
  return default_.Get();
}

void PlaceControls(HWND parent, int dpi, const ControlFonts& fonts) {
  for (const ControlLayout& layout : kMainWindowControls) {
    HWND control = GetDlgItem(parent, layout.id);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.For(layout.font)), FALSE);
    SetWindowPos(control, nullptr, TwipsToPixels(layout.left, dpi),
                 TwipsToPixels(layout.top, dpi), TwipsToPixels(layout.width, dpi),
                 TwipsToPixels(layout.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace velmo
