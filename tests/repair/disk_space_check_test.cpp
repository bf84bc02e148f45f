// The download pass's account of disk space: what it still adds, and how it says that
// the disk is too small.
#include "repair/disk_space_check.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/base/utf.h"
#include "repair/verification.h"

namespace krdn {
namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

std::string Text(std::uint64_t needed, std::uint64_t available) {
  return platform::Utf16ToUtf8(DiskSpaceText(needed, available));
}

TEST(DiskSpaceText, BothFiguresInTheLargerOnesUnitWithOneDecimalTheNeedRoundedUpTheFreeSpaceDown) {
  EXPECT_EQ(Text(kGiB + kGiB / 5, (3 * kGiB + 9) / 10), "磁盘空间不足：还需要 1.2 GB，可用 0.3 GB。");
  EXPECT_EQ(Text(300 * kMiB, 2 * kGiB), "磁盘空间不足：还需要 0.3 GB，可用 2.0 GB。");
  EXPECT_EQ(Text(100 * kMiB + 1, 40 * kMiB), "磁盘空间不足：还需要 100.1 MB，可用 40.0 MB。");
  EXPECT_EQ(Text(kGiB - 1, 0), "磁盘空间不足：还需要 1024.0 MB，可用 0.0 MB。") << "GB from a whole GiB on";
  // 1.21 GiB needed, 1.29 GiB free: not "1.3 GB, 1.3 GB".
  EXPECT_EQ(Text(kGiB * 121 / 100, kGiB * 129 / 100), "磁盘空间不足：还需要 1.3 GB，可用 1.2 GB。");
  EXPECT_EQ(Text(5 * kGiB + 1, 5 * kGiB), "磁盘空间不足：还需要 5.1 GB，可用 5.0 GB。");
  EXPECT_EQ(Text(3000 * kGiB, 12 * kGiB), "磁盘空间不足：还需要 3000.0 GB，可用 12.0 GB。");
}

TEST(DiskSpaceCheck, CountsWhatEachFileStillAddsAndAsksForTheMarginOnTop) {
  std::vector<RepairItem> items(4);
  items[0].expected_size = 10 * kMiB;  // missing
  items[1].expected_size = 8 * kMiB;   // half there
  items[1].local_size = 4 * kMiB;
  items[2].expected_size = 2 * kMiB;  // longer than it should be: cut, adds nothing
  items[2].local_size = 5 * kMiB;
  items[3].expected_size = 7 * kMiB;  // damaged in place
  items[3].local_size = 7 * kMiB;
  EXPECT_EQ(BytesToWrite(items), 14 * kMiB);
  EXPECT_EQ(SpaceNeeded(BytesToWrite(items)), 14 * kMiB + kDiskSpaceMargin);
  EXPECT_EQ(kDiskSpaceMargin, 64 * kMiB);
  EXPECT_EQ(BytesToWrite(std::span(items).subspan(2)), 0u);
  EXPECT_FALSE(SpaceNeeded(0).has_value()) << "repairs in place need no room";
}

}  // namespace
}  // namespace krdn
