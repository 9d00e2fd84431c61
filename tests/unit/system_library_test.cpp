// DLLs the tool loads on first use: from System32 only, kept for the rest of the process, and a
// clear error naming what is missing.
#include "support/system_library.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "support/platform_error.h"

namespace velmo {
namespace {

// A System32 DLL that nothing in the test program imports or loads.
constexpr wchar_t kUnusedSystemDll[] = L"msimg32.dll";

std::wstring ProgramFolder() {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path(buffer, length);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, GetSystemDirectoryW(buffer, MAX_PATH));
}

// A file copied beside the test program for the length of a test.
class FileBesideProgram {
 public:
  FileBesideProgram(const std::wstring& source, const std::wstring& name)
      : path_(ProgramFolder() + L"\\" + name) {
    copied_ = CopyFileW(source.c_str(), path_.c_str(), FALSE) != 0;
  }
  ~FileBesideProgram() { DeleteFileW(path_.c_str()); }
  FileBesideProgram(const FileBesideProgram&) = delete;
  FileBesideProgram& operator=(const FileBesideProgram&) = delete;
  bool Copied() const { return copied_; }

 private:
  std::wstring path_;
  bool copied_ = false;
};

TEST(PinnedSystemLibrary, StaysLoadedWhateverIsFreed) {
  ASSERT_EQ(GetModuleHandleW(kUnusedSystemDll), nullptr) << "the test needs a DLL not yet loaded";
  const HMODULE pinned = LoadPinnedSystemLibrary(kUnusedSystemDll);
  ASSERT_NE(pinned, nullptr);
  EXPECT_EQ(GetModuleHandleW(kUnusedSystemDll), pinned);
  // Loading again gives the same module, and no number of releases unloads it: code the DLL left
  // running (a thread, a window class) can never outlive it.
  EXPECT_EQ(LoadPinnedSystemLibrary(kUnusedSystemDll), pinned);
  for (int release = 0; release < 4; ++release) FreeLibrary(pinned);
  EXPECT_EQ(GetModuleHandleW(kUnusedSystemDll), pinned);
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(pinned, path, MAX_PATH);
  EXPECT_EQ(CompareStringOrdinal(path, static_cast<int>(length),
                                 (SystemFolder() + L"\\" + kUnusedSystemDll).c_str(), -1, TRUE),
            CSTR_EQUAL)
      << "loaded from " << std::wstring(path, length);
}

TEST(PinnedSystemLibrary, NeverTakesADllFromTheProgramFolder) {
  // A DLL that exists only beside the program, as another vendor's DLLs lie beside the tool.
  constexpr wchar_t kPlanted[] = L"velmo_planted_only_here.dll";
  const FileBesideProgram planted(SystemFolder() + L"\\" + kUnusedSystemDll, kPlanted);
  ASSERT_TRUE(planted.Copied());
  {
    // The ordinary search finds it: the check below could fail.
    const UniqueModule found(LoadLibraryW(kPlanted));
    ASSERT_TRUE(found.Valid());
  }
  try {
    LoadPinnedSystemLibrary(kPlanted);
    ADD_FAILURE() << "a DLL outside System32 was loaded";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.Path(), kPlanted);
    EXPECT_EQ(error.Code(), static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(error.Describe().find(kPlanted), std::wstring::npos);
  }
}

TEST(RequiredProcedure, MissingExportIsAnErrorNamingDllAndFunction) {
  const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  using TickCountFn = DWORD(WINAPI*)();
  const auto tickCount = RequiredProcedure<TickCountFn>(kernel, L"kernel32.dll", "GetTickCount");
  ASSERT_NE(tickCount, nullptr);
  EXPECT_NE(tickCount(), 0u);
  try {
    RequiredProcedure<TickCountFn>(kernel, L"kernel32.dll", "VelmoNoSuchExport");
    ADD_FAILURE() << "a missing export was handed out";
  } catch (const PlatformError& error) {
    EXPECT_EQ(error.Path(), L"kernel32.dll!VelmoNoSuchExport");
    EXPECT_EQ(error.Code(), static_cast<std::uint32_t>(ERROR_PROC_NOT_FOUND));
    EXPECT_FALSE(error.IsHresult());
  }
}

// Without SetDefaultDllDirectories (Windows 7 without its update) the DLLs the shell and COM
// load by name are loaded from System32 first; with it, none.
TEST(DllPreloading, OnlyWithoutDefaultDirectoriesAndTheListedDlls) {
  EXPECT_TRUE(DllsToPreload(true).empty());
  const std::vector<const wchar_t*> names = DllsToPreload(false);
  EXPECT_EQ(std::vector<std::wstring>(names.begin(), names.end()),
            (std::vector<std::wstring>{L"uxtheme.dll", L"userenv.dll", L"setupapi.dll",
                                       L"apphelp.dll", L"propsys.dll", L"dwmapi.dll",
                                       L"cryptbase.dll", L"oleacc.dll", L"clbcatq.dll",
                                       L"version.dll"}));
}

}  // namespace
}  // namespace velmo
