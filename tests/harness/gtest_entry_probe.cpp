// A GoogleTest program for the self-test of the entry script: a test that passes, one that is
// skipped, one that fails, one that ends the whole program early with exit code 0 and one that
// crashes it. The self-test picks them with --gtest_filter.
#include <gtest/gtest.h>

#include <cstdlib>

TEST(Probe, Passes) { SUCCEED(); }
TEST(Probe, Skipped) { GTEST_SKIP() << "skipped on purpose"; }
TEST(Probe, Fails) { EXPECT_EQ(2 + 2, 5); }
TEST(Probe, EndsEarly) { std::exit(0); }
TEST(Probe, Crashes) {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}
