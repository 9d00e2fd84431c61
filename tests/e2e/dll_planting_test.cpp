// The tool runs from a folder full of another vendor's DLLs and must load none of them. A
// version.dll planted beside it leaves a marker file when any process loads it. Wine prefers its
// built-in version.dll, so these tests run in a Wine told to prefer a native one (the ctest entry
// e2e_dll_planting sets WINEDLLOVERRIDES): it then searches the program's folder first, as Windows
// does, and the programs started here inherit that.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/temp_dir.h"
#include "window/main_window.h"
#include "window/main_window_layout.h"

namespace velmo::e2e {
namespace {

using velmo::testing::ReadBytes;
using velmo::testing::TempDir;

// Left by the planted DLL when a process loads it, and when a process calls one of its exports.
constexpr wchar_t kLoadedMarker[] = L"planted_version_dll_loaded.txt";
constexpr wchar_t kCalledMarker[] = L"planted_version_dll_called.txt";

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Wine's DLL overrides of this test program, which the programs it starts inherit.
std::wstring WineDllOverrides() {
  wchar_t value[2048] = {};
  const DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 2048);
  return length > 0 && length < 2048 ? std::wstring(value) : std::wstring();
}

EnvironmentChanges Hermetic(const std::wstring& folder) {
  return {{L"TEMP", folder}, {L"APPDATA", folder}};
}

class DllPlanting : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(WineDllOverrides().find(L"version=n"), std::wstring::npos)
        << "Wine must prefer a native version.dll here: run through ctest (./run test)";
    tool_ = SetUpInstallation(dir_.Path());
    // version.dll, and the other DLLs the shell and COM load by name: the ones Wine would take
    // from here only with an override of its own are planted all the same, as on Windows.
    for (const wchar_t* name : {L"version.dll", L"uxtheme.dll", L"userenv.dll", L"setupapi.dll",
                                L"apphelp.dll", L"propsys.dll", L"dwmapi.dll", L"cryptbase.dll",
                                L"oleacc.dll", L"clbcatq.dll"}) {
      ASSERT_TRUE(CopyFileW((TestProgramFolder() + L"\\planted_version.dll").c_str(),
                            (dir_ / name).c_str(), FALSE));
    }
  }

  TempDir dir_{L"velmo-planted"};
  std::wstring tool_;
};

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The modules that called the planted DLL's exports, from its marker file (UTF-16 lines of
// function, calling module and program, separated by tabs), in capitals.
std::vector<std::wstring> CallingModules(const std::wstring& folder) {
  std::vector<std::wstring> callers;
  const std::optional<std::string> bytes = ReadBytes(folder + L"\\" + kCalledMarker);
  if (!bytes) return callers;
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes->data()),
                          bytes->size() / sizeof(wchar_t));
  std::size_t lineStart = 0;
  while (lineStart < text.size()) {
    std::size_t lineEnd = text.find(L"\r\n", lineStart);
    if (lineEnd == std::wstring::npos) lineEnd = text.size();
    const std::wstring line = text.substr(lineStart, lineEnd - lineStart);
    const std::size_t first = line.find(L'\t');
    const std::size_t second = line.find(L'\t', first + 1);
    if (first != std::wstring::npos && second != std::wstring::npos) {
      callers.push_back(Upper(line.substr(first + 1, second - first - 1)));
    }
    lineStart = lineEnd + 2;
  }
  return callers;
}

bool Contains(const std::vector<std::wstring>& callers, const std::wstring& module) {
  return std::find(callers.begin(), callers.end(), Upper(module)) != callers.end();
}

// Whether the platform itself maps a planted version.dll into any GUI program: Wine's user32
// imports version.dll, Windows' does not. Found out with the substitute browser, which has no
// use for version.dll of its own, once its window is up.
bool PlatformLoadsPlantedVersionDll(const std::wstring& folder) {
  {
    ToolProcess browser(folder + L"\\velmoexplorer.exe", Hermetic(folder));
    for (DWORD waited = 0; waited < kDefaultWaitMs; waited += 20) {
      const std::vector<HWND> windows = FindTopLevelWindows(L"VelmoSubstituteBrowser");
      if (std::any_of(windows.begin(), windows.end(), [&](HWND window) {
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            return pid == browser.Pid();
          })) {
        break;
      }
      Sleep(20);
    }
  }
  const bool loaded = Exists(folder + L"\\" + kLoadedMarker);
  DeleteFileW((folder + L"\\" + kLoadedMarker).c_str());
  DeleteFileW((folder + L"\\" + kCalledMarker).c_str());
  DeleteFileW((folder + L"\\velmoexplorer.log").c_str());
  return loaded;
}

TEST_F(DllPlanting, TheToolUsesNoVersionDllFromItsOwnFolder) {
  const bool platformLoadsIt = PlatformLoadsPlantedVersionDll(dir_.Path());

  ToolProcess tool(tool_, Hermetic(dir_.Path()));
  ASSERT_NE(tool.WaitForMainWindow(), nullptr);
  // The version comes from the system's version.dll; the planted one would report none.
  EXPECT_EQ(tool.ControlText(kVersionLabel), L"当前目录下的Velmo浏览器版本号是：1.2.3.4");
  EXPECT_EQ(tool.Close(), 0u);
  EXPECT_FALSE(Contains(CallingModules(dir_.Path()), tool_))
      << "the tool called the planted version.dll";
  if (!platformLoadsIt) {
    EXPECT_FALSE(Exists(dir_ / kLoadedMarker)) << "the tool loaded the planted version.dll";
  }
}

TEST_F(DllPlanting, AProgramThatImportsVersionDllTheOrdinaryWayUsesThePlantedOne) {
  // Shows that the planted DLL, the override and the caller check work, so the test above can
  // fail.
  const std::wstring importer = dir_ / L"velmo_version_importer.exe";
  ASSERT_TRUE(CopyFileW((TestProgramFolder() + L"\\velmo_version_importer.exe").c_str(),
                        importer.c_str(), FALSE));
  ToolProcess program(importer, Hermetic(dir_.Path()));
  EXPECT_TRUE(program.WaitForExit().has_value());
  EXPECT_TRUE(Exists(dir_ / kLoadedMarker)) << "the planted version.dll was not loaded";
  EXPECT_TRUE(Contains(CallingModules(dir_.Path()), importer))
      << "the importer's call of the planted version.dll was not seen";
}

}  // namespace
}  // namespace velmo::e2e
