#include "support/callable_ref.h"

#include <gtest/gtest.h>

#include <string>

namespace velmo {
namespace {

int Twice(int value) { return 2 * value; }

// Called through a reference: what the function receives and returns, for each kind of callable.
int CallWith(CallableRef<int(int)> call, int value) { return call(value); }

TEST(CallableRef, CallsWhatItRefersToWithTheArgumentsAndGivesBackItsResult) {
  int calls = 0;
  auto counting = [&calls](int value) { return value + ++calls; };
  const auto constant = [](int value) { return value - 1; };
  struct Offset {
    int by;
    int operator()(int value) const { return value + by; }
  };
  const Offset offset{100};

  EXPECT_EQ(CallWith(counting, 10), 11);
  EXPECT_EQ(CallWith(counting, 10), 12);  // the lambda itself, not a copy: its count goes on
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(CallWith(constant, 10), 9);
  EXPECT_EQ(CallWith(offset, 10), 110);
  EXPECT_EQ(CallWith(&Twice, 10), 20);
  EXPECT_EQ(CallWith([](int value) { return value * value; }, 10), 100);
}

TEST(CallableRef, PassesReferencesThroughSoTheCalleeCanChangeThem) {
  std::wstring text = L"路径";
  const auto append = [](std::wstring& target) { target += L"\\Setting"; };
  const CallableRef<void(std::wstring&)> call = append;
  call(text);
  EXPECT_EQ(text, L"路径\\Setting");
}

}  // namespace
}  // namespace velmo
