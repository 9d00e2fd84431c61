// COM reached through OleApi: text in and out of BSTRs and VARIANTs, and apartments that are
// always left again, by the RAII types and by the units that enter one for their own work.
#include "support/com.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>

#include "support/folder_copy.h"
#include "support/ole_api.h"
#include "support/system_library.h"
#include "support/temp_dir.h"

namespace velmo {
namespace {

using namespace std::string_literals;
using testing::TempDir;
using testing::WriteBytes;

// True when the calling thread is in no COM apartment: joining the multi-threaded one then
// succeeds with S_OK (a single-threaded apartment left open would refuse it).
bool ThreadOutsideCom() {
  using InitializeFn = HRESULT(WINAPI*)(void*, DWORD);
  using UninitializeFn = void(WINAPI*)();
  const HMODULE ole32 = LoadPinnedSystemLibrary(L"ole32.dll");
  const auto initialize = RequiredProcedure<InitializeFn>(ole32, L"ole32.dll", "CoInitializeEx");
  const auto uninitialize =
      RequiredProcedure<UninitializeFn>(ole32, L"ole32.dll", "CoUninitialize");
  const HRESULT hr = initialize(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(hr)) uninitialize();
  return hr == S_OK;
}

TEST(ComText, BstrAndVariantKeepEveryCharacterAndMoveOwnership) {
  const OleApi ole;
  // An embedded NUL, Chinese, a character outside code page 936: all kept, length included.
  const std::wstring text = L"C:\\配置\0tail\u0e01"s;
  Bstr first(ole, text);
  ASSERT_NE(first.Get(), nullptr);
  EXPECT_EQ(ole.StringLength(first.Get()), text.size());
  EXPECT_EQ(first.Text(), text);

  Bstr second(std::move(first));
  EXPECT_EQ(first.Get(), nullptr);
  EXPECT_EQ(first.Text(), L"");
  EXPECT_EQ(second.Text(), text);
  first = std::move(second);
  EXPECT_EQ(first.Text(), text);
  // An out parameter slot starts empty.
  EXPECT_EQ(*first.Put(), nullptr);
  EXPECT_EQ(first.Text(), L"");

  Variant original = Variant::FromText(ole, text);
  Variant moved(std::move(original));
  EXPECT_EQ(original.Get()->vt, VT_EMPTY);
  ASSERT_EQ(moved.Get()->vt, VT_BSTR);
  EXPECT_EQ(std::wstring(moved.Get()->bstrVal, ole.StringLength(moved.Get()->bstrVal)), text);
  EXPECT_EQ(Variant::FromText(ole, L"").Get()->vt, VT_BSTR);

  const Variant number = Variant::FromInt(ole, -17);
  EXPECT_EQ(number.Get()->vt, VT_I4);
  EXPECT_EQ(number.Get()->lVal, -17);
}

TEST(ComApartments, NestedApartmentsAreLeftAgain) {
  ASSERT_TRUE(ThreadOutsideCom()) << "an earlier test left the thread in an apartment";
  const OleApi ole;
  {
    const ComApartment outer(ole);
    EXPECT_EQ(outer.Result(), S_OK);
    const ComApartment inner(ole);
    EXPECT_EQ(inner.Result(), S_FALSE);
    EXPECT_TRUE(inner.Usable());
    EXPECT_FALSE(ThreadOutsideCom());
  }
  EXPECT_TRUE(ThreadOutsideCom());
}

TEST(ComApartments, CopyLeavesNoApartmentBehind) {
  ASSERT_TRUE(ThreadOutsideCom()) << "an earlier test left the thread in an apartment";
  TempDir dir(L"com-apartments");
  WriteBytes(dir / L"source\\a\\b.txt", "b");
  ASSERT_TRUE(CopyFolder(dir / L"source", dir / L"copy", {}, false));
  EXPECT_TRUE(ThreadOutsideCom()) << "the copy left its apartment open";
}

}  // namespace
}  // namespace velmo
