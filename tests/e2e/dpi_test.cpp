// The window at 96, 144 and 192 DPI: every control where the layout table puts it (twips x DPI /
// 1440, within a pixel), every caption whole inside its control, and a screenshot of each for
// people to look at (screenshots\main-window-<dpi>dpi.bmp beside the test programs).
//
// The DPI comes from HKCU\Control Panel\Desktop\LogPixels, which a newly started process reads
// (Windows needs a new sign-in for it; Wine reads it at each process start). The test sets it
// for the tool it starts and puts the old value back afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <optional>
#include <string>

#include "expected_layout.h"
#include "gui_driver.h"
#include "model/path_file.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo::e2e {
namespace {

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";
constexpr wchar_t kLogPixels[] = L"LogPixels";

// Sets LogPixels for processes started from now on; restores the previous state when it ends.
class LogPixelsOverride {
 public:
  explicit LogPixelsOverride(DWORD dpi) {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kDesktopKey, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      throw std::runtime_error("cannot open the desktop settings key");
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    if (RegQueryValueExW(key_, kLogPixels, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD) {
      previous_ = value;
    }
    Write(dpi);
  }
  ~LogPixelsOverride() {
    if (previous_) {
      Write(*previous_);
    } else {
      RegDeleteValueW(key_, kLogPixels);
    }
    RegCloseKey(key_);
  }
  LogPixelsOverride(const LogPixelsOverride&) = delete;
  LogPixelsOverride& operator=(const LogPixelsOverride&) = delete;

 private:
  void Write(DWORD dpi) {
    RegSetValueExW(key_, kLogPixels, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
  }

  HKEY key_ = nullptr;
  std::optional<DWORD> previous_;
};

// A memory device context with one of the window's fonts selected, for measuring captions.
class MeasuringDc {
 public:
  // The very font the window gives a control of this kind at this DPI.
  MeasuringDc(FontKind kind, int dpi) : dc_(CreateCompatibleDC(nullptr)) {
    const LOGFONTW font = FontFor(kind, dpi);
    font_.Reset(CreateFontIndirectW(&font));
    previous_ = SelectObject(dc_, font_.Get());
  }
  ~MeasuringDc() {
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
  }
  MeasuringDc(const MeasuringDc&) = delete;
  MeasuringDc& operator=(const MeasuringDc&) = delete;

  // One line of text, as a button or a frame draws its caption.
  SIZE SingleLine(const std::wstring& text) const {
    SIZE size{};
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size;
  }
  // Text broken into lines at `width`, as a left-aligned label draws it.
  SIZE Wrapped(const std::wstring& text, int width) const {
    RECT rect{0, 0, width, 0};
    DrawTextW(dc_, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
  }
  int LineHeight() const {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    return metrics.tmHeight;
  }

 private:
  HDC dc_;
  UniqueFont font_;
  HGDIOBJ previous_ = nullptr;
};

// A bitmap compatible with `reference`, selected into a memory device context of its own.
class MemoryBitmap {
 public:
  MemoryBitmap(HDC reference, int width, int height)
      : dc_(CreateCompatibleDC(reference)),
        bitmap_(CreateCompatibleBitmap(reference, width, height)),
        previous_(SelectObject(dc_, bitmap_)) {}
  ~MemoryBitmap() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;
  HDC Dc() const { return dc_; }
  // Copies the pixels out in the format `header` describes (the bitmap must not be selected).
  void Read(int height, void* pixels, BITMAPINFOHEADER& header) const {
    SelectObject(dc_, previous_);
    GetDIBits(dc_, bitmap_, 0, static_cast<UINT>(height), pixels,
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    SelectObject(dc_, bitmap_);
  }

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

// Saves what the screen shows of the window as a 24-bit BMP.
void SaveScreenshot(HWND window, const std::wstring& path) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as BMP files store it
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::string pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(height), '\0');

  {
    const ScreenDc screen;
    const MemoryBitmap copy(screen.Get(), width, height);
    BitBlt(copy.Dc(), 0, 0, width, height, screen.Get(), rect.left, rect.top, SRCCOPY);
    copy.Read(height, pixels.data(), header);
  }

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes += pixels;
  testing::WriteBytes(path, bytes);
}

// twips -> pixels without rounding, the figure a placed control may differ from by one pixel.
double Exact(int twips, int dpi) { return static_cast<double>(twips) * dpi / 1440; }

// The tool started at the DPI of the test's parameter, with a path file in the absolute form so
// that the information panel shows both of its lines.
class WindowAtDpi : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    dpi_ = GetParam();
    override_.emplace(static_cast<DWORD>(dpi_));
    RetryBudget retries;
    WritePathFile(dir_.Path(),
                  PathFileLinesFor(dir_.Path(), PathFileForm::kAbsolute,
                                   L"C:\\users\\root\\Temp\\WebkitCache"),
                  retries);
    tool_.emplace(SetUpInstallation(dir_.Path()),
                  EnvironmentChanges{{L"TEMP", L"C:\\users\\root\\Temp"}});
    window_ = tool_->WaitForMainWindow();
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (tool_) {
      EXPECT_EQ(tool_->Close(), 0u);
    }
    tool_.reset();
    override_.reset();
  }
  int Scaled(int pixelsAt96) const { return MulDiv(pixelsAt96, dpi_, 96); }

  int dpi_ = 96;
  std::optional<LogPixelsOverride> override_;
  testing::TempDir dir_{L"e2e-dpi"};
  std::optional<ToolProcess> tool_;
  HWND window_ = nullptr;
};

TEST_P(WindowAtDpi, ControlsScaleAsTwipsTimesDpi) {
  SaveScreenshot(window_, TestProgramFolder() + L"\\screenshots\\main-window-" +
                              std::to_wstring(dpi_) + L"dpi.bmp");
  const SIZE client = tool_->ClientSize();
  EXPECT_LE(std::abs(client.cx - Exact(kExpectedClientWidthTwips, dpi_)), 1.0) << "width";
  EXPECT_LE(std::abs(client.cy - Exact(kExpectedClientHeightTwips, dpi_)), 1.0) << "height";
  for (const ExpectedControl& layout : kExpectedControls) {
    SCOPED_TRACE(std::string(layout.name) + " at " + std::to_string(dpi_) + " DPI");
    const std::optional<ControlInfo> control = tool_->Control(layout.id);
    ASSERT_TRUE(control.has_value());
    const RECT& r = control->rect;
    EXPECT_LE(std::abs(r.left - Exact(layout.left, dpi_)), 1.0) << "left";
    EXPECT_LE(std::abs(r.top - Exact(layout.top, dpi_)), 1.0) << "top";
    EXPECT_LE(std::abs(r.right - r.left - Exact(layout.width, dpi_)), 1.0) << "width";
    EXPECT_LE(std::abs(r.bottom - r.top - Exact(layout.height, dpi_)), 1.0) << "height";
  }
}

TEST_P(WindowAtDpi, NoCaptionIsClipped) {
  // A caption is measured in its control's font and must fit inside what the control leaves
  // for text: a button's 3D border, the frame's corners, the text box's sunken border.
  const int border = GetSystemMetrics(SM_CXEDGE);
  for (const ExpectedControl& layout : kExpectedControls) {
    SCOPED_TRACE(std::string(layout.name) + " at " + std::to_string(dpi_) + " DPI");
    const std::optional<ControlInfo> control = tool_->Control(layout.id);
    ASSERT_TRUE(control.has_value());
    const int width = control->rect.right - control->rect.left;
    const int height = control->rect.bottom - control->rect.top;
    const MeasuringDc measure(layout.font, dpi_);
    const std::wstring& text = control->text;
    switch (layout.kind) {
      case ControlKind::Button: {  // one centred line
        const SIZE extent = measure.SingleLine(text);
        EXPECT_LE(extent.cx, width - 2 * border) << "caption width " << extent.cx;
        EXPECT_LE(extent.cy, height - 2 * border) << "caption height " << extent.cy;
        break;
      }
      case ControlKind::Frame: {  // one line in the top border, set in from the corners
        const SIZE extent = measure.SingleLine(text);
        EXPECT_LE(extent.cx, width - 2 * Scaled(8)) << "caption width " << extent.cx;
        break;
      }
      case ControlKind::Label: {  // broken into lines at the label's width
        const SIZE extent = measure.Wrapped(text, width);
        EXPECT_LE(extent.cx, width) << "text width " << extent.cx;
        EXPECT_LE(extent.cy, height) << "text height " << extent.cy << " for " << ToUtf8(text);
        break;
      }
      case ControlKind::TextBox:  // one line of text
        EXPECT_LE(measure.LineHeight(), height - 2 * border)
            << "line height " << measure.LineHeight();
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Dpi, WindowAtDpi, ::testing::Values(96, 144, 192),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return "At" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace velmo::e2e
