#include "support/disk_space.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace velmo {
namespace {

// Each file takes whole clusters of the destination (20,000 files of 2 KB need 625 MB on a stick
// of 32 KB clusters, not 39 MB); the caches are left out; the longest paths are found.
TEST(DiskSpace, EachFileTakesWholeClustersOfTheDestination) {
  testing::TempDir dir(L"measure");
  testing::WriteBytes(dir / L"empty", "");
  testing::WriteBytes(dir / L"Default\\Local Storage\\b.txt", "12");
  testing::WriteBytes(dir / L"Default\\longer-name.txt", std::string(5000, 'x'));
  testing::WriteBytes(dir / L"Webkit\\Cache\\the-longest-name-of-all-but-a-cache.bin", "c");
  const struct { unsigned cluster, bytes; } rows[] = {{0, 5002}, {4096, 12288}, {32768, 65536}};
  for (const auto& row : rows) {
    const CopyMeasure measure =
        MeasureCopy(dir.Path(), {dir / L"webkit\\cache", dir / L"x", dir / L"y"}, row.cluster);
    EXPECT_EQ(measure.bytes, row.bytes) << row.cluster;
    EXPECT_EQ(measure.longestFile, L"Default\\Local Storage\\b.txt");
    EXPECT_EQ(measure.longestFolder, L"Default\\Local Storage");
  }
}

}  // namespace
}  // namespace velmo
