// The main window's controls: made from the layout table, then given their fonts, positions and
// sizes at the window's DPI (again whenever the DPI changes).
#pragma once
#include <windows.h>

#include "support/unique_handle.h"
#include "window/main_window_layout.h"

namespace velmo {

// Creates every control of the layout table as a child of `parent`. The order of creation gives
// the Tab order (the tab indexes) and lays the frames beneath the controls drawn inside them.
// The controls have no size until PlaceControls.
void CreateControls(HWND parent, HINSTANCE instance);

// The controls' three fonts at one DPI; they must outlive the controls' use of them.
class ControlFonts {
 public:
  explicit ControlFonts(int dpi);
  HFONT For(FontKind kind) const;

 private:
  UniqueFont default_;
  UniqueFont heading_;
  UniqueFont textBox_;
};

// Gives each control of `parent` its font and its position and size at `dpi`.
void PlaceControls(HWND parent, int dpi, const ControlFonts& fonts);

}  // namespace velmo
