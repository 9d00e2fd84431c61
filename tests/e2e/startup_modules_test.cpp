// The DLLs the tool needs to show its window: the executable imports only the window's own and
// advapi32 (a KnownDLL, never taken from the tool's folder), and the shell and automation DLLs
// stay unloaded until a command needs them (it keeps the start fast).
#include <gtest/gtest.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "gui_driver.h"
#include "support/temp_dir.h"
#include "support/text_codec.h"
#include "support/unique_handle.h"

namespace velmo::e2e {
namespace {

using velmo::testing::ReadBytes;
using velmo::testing::TempDir;

std::wstring Lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The base names of the modules loaded in process `pid`, lower-cased.
std::vector<std::wstring> LoadedModules(DWORD pid) {
  const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return {};
  std::vector<HMODULE> modules(512);
  DWORD needed = 0;
  if (!EnumProcessModules(process.Get(), modules.data(),
                          static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
    return {};
  }
  modules.resize(std::min<std::size_t>(modules.size(), needed / sizeof(HMODULE)));
  std::vector<std::wstring> names;
  for (HMODULE module : modules) {
    wchar_t name[MAX_PATH];
    const DWORD length = GetModuleBaseNameW(process.Get(), module, name, MAX_PATH);
    if (length != 0) names.push_back(Lower(std::wstring(name, length)));
  }
  return names;
}

// Reads a structure at `offset` of the file's bytes; nullopt past the end.
template <typename T>
std::optional<T> At(const std::string& bytes, std::size_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return std::nullopt;
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof(T));
  return value;
}

// The names of the DLLs an executable imports (its import directory), lower-cased; the tool
// is read as the 32-bit file users get or as the 64-bit build the tests run on some machines.
// Empty when the file is not such an executable.
std::vector<std::wstring> ImportedDlls(const std::string& image) {
  const auto dos = At<IMAGE_DOS_HEADER>(image, 0);
  if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return {};
  const auto nt = At<IMAGE_NT_HEADERS32>(image, static_cast<std::size_t>(dos->e_lfanew));
  if (!nt || nt->Signature != IMAGE_NT_SIGNATURE) return {};
  // The headers differ only in the optional header, whose data directories PE32+ moves further.
  const auto nt64 = At<IMAGE_NT_HEADERS64>(image, static_cast<std::size_t>(dos->e_lfanew));
  const bool wide = nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
  if (wide && !nt64) return {};
  const std::size_t sections = static_cast<std::size_t>(dos->e_lfanew) +
                               offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                               nt->FileHeader.SizeOfOptionalHeader;
  // A relative virtual address -> its offset in the file, through the section that holds it.
  auto fileOffset = [&](DWORD rva) -> std::optional<std::size_t> {
    for (WORD index = 0; index < nt->FileHeader.NumberOfSections; ++index) {
      const auto section =
          At<IMAGE_SECTION_HEADER>(image, sections + index * sizeof(IMAGE_SECTION_HEADER));
      if (!section) return std::nullopt;
      if (rva >= section->VirtualAddress &&
          rva < section->VirtualAddress + section->SizeOfRawData) {
        return rva - section->VirtualAddress + section->PointerToRawData;
      }
    }
    return std::nullopt;
  };
  const DWORD importRva =
      (wide ? nt64->OptionalHeader.DataDirectory : nt->OptionalHeader.DataDirectory)
          [IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  const auto first = fileOffset(importRva);
  if (importRva == 0 || !first) return {};
  std::vector<std::wstring> names;
  for (std::size_t offset = *first;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto entry = At<IMAGE_IMPORT_DESCRIPTOR>(image, offset);
    if (!entry || entry->Name == 0) break;
    const auto name = fileOffset(entry->Name);
    if (!name) break;
    const std::size_t end = image.find('\0', *name);
    if (end == std::string::npos) break;
    names.push_back(Lower(FromUtf8(image.substr(*name, end - *name))));
  }
  return names;
}

TEST(StartupModules, ExecutableImportsOnlyWhatTheWindowNeeds) {
  const std::optional<std::string> image = ReadBytes(ToolExecutable());
  ASSERT_TRUE(image.has_value());
  const std::vector<std::wstring> imports = ImportedDlls(*image);
  ASSERT_TRUE(Contains(imports, L"user32.dll")) << "the import directory was not read";
  const std::vector<std::wstring> allowed = {L"kernel32.dll", L"user32.dll", L"gdi32.dll",
                                             L"comctl32.dll", L"advapi32.dll", L"msvcrt.dll"};
  for (const std::wstring& dll : imports) {
    EXPECT_TRUE(Contains(allowed, dll)) << "the tool imports " << ToUtf8(dll);
  }
}

TEST(StartupModules, WindowShowsWithoutTheShellOrAutomation) {
  TempDir dir(L"velmo-modules");
  const std::wstring tool = SetUpInstallation(dir.Path());
  // Read during the moved-folder question: the default-browser check after it loads the shell.
  velmo::testing::MakeDirs(dir / L"Setting");
  velmo::testing::WriteBytes(dir / L"path", "C:\\gone\\Setting\r\nC:\\gone\r\n");
  ToolProcess process(tool, {{L"TEMP", dir.Path()}, {L"APPDATA", dir.Path()}});
  ASSERT_NE(process.WaitForMainWindow(), nullptr);
  ASSERT_TRUE(process.WaitForBox().has_value());
  const std::vector<std::wstring> modules = LoadedModules(process.Pid());
  // The list is read for real: the window's own DLLs are in it.
  ASSERT_TRUE(Contains(modules, L"user32.dll"));
  ASSERT_TRUE(Contains(modules, L"comctl32.dll"));
  // ole32.dll is not checked here: Wine's window driver loads it for every window (a minimal
  // window program has it too); that the tool itself does not is checked by its imports above.
  for (const wchar_t* unwanted : {L"shell32.dll", L"oleaut32.dll"}) {
    EXPECT_FALSE(Contains(modules, unwanted)) << ToUtf8(unwanted) << " is loaded at start";
  }
  EXPECT_TRUE(process.Close().has_value());
}

}  // namespace
}  // namespace velmo::e2e
