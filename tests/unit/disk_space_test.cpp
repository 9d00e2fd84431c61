#include "support/disk_space.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace velmo {
namespace {

using testing::TempDir;
using testing::WriteBytes;

// A stick with large clusters: each file takes whole clusters, so that 20,000 files of 2 KB on
// 32 KB clusters need 625 MB, not 39 MB.
TEST(DiskSpace, EachFileTakesWholeClustersOfTheDestination) {
  const struct { std::uint64_t size, cluster, taken; } rows[] = {
      {0, 32768, 0},         {1, 32768, 32768},     {2048, 32768, 32768},
      {32768, 32768, 32768}, {32769, 32768, 65536}, {2048, 4096, 4096},
      {5000, 0, 5000},  // cluster size not known
  };
  for (const auto& row : rows) {
    EXPECT_EQ(BytesOnVolume(row.size, row.cluster), row.taken) << row.size << " " << row.cluster;
  }
  // The walk rounds each file, leaves the caches out and finds the longest paths.
  TempDir dir(L"measure");
  WriteBytes(dir / L"a.txt", "1");
  WriteBytes(dir / L"Default\\Local Storage\\b.txt", "12");
  WriteBytes(dir / L"Default\\longer-name.txt", std::string(5000, 'x'));
  WriteBytes(dir / L"Webkit\\Cache\\huge-cache-file-with-the-longest-name-of-all.bin", "c");
  const CopyMeasure measure =
      MeasureCopy(dir.Path(), {dir / L"Webkit\\Cache", dir / L"x", dir / L"y"}, 4096);
  EXPECT_EQ(measure.bytes, 4096u * 4);
  EXPECT_EQ(measure.longestFile, L"Default\\Local Storage\\b.txt");
  EXPECT_EQ(measure.longestFolder, L"Default\\Local Storage");
}

}  // namespace
}  // namespace velmo
