// The free space of a disk, against the standard library's own account of it.
#include "platform/io/disk_space.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::u16string SystemPath(const fs::path& path) { return path.generic_u16string(); }

TEST(FreeDiskSpace, TellsWhatTheFileSystemHasFreeForADirectoryAndForAFileInIt) {
  krdn::testing::TempDir dir;
  std::ofstream(dir.path() / "file.bin") << "x";
  const fs::space_info reference = fs::space(dir.path());
  const std::optional<std::uint64_t> free = platform::FreeDiskSpace(SystemPath(dir.path()));
  ASSERT_TRUE(free.has_value());
  EXPECT_GT(*free, 0u);
  EXPECT_LE(*free, reference.capacity);
  // Other programs write meanwhile: close to the reference, not equal.
  constexpr std::uintmax_t kSlack = std::uintmax_t{256} << 20;
  EXPECT_LT(*free > reference.available ? *free - reference.available : reference.available - *free, kSlack)
      << *free << " against " << reference.available;

  const std::optional<std::uint64_t> of_file = platform::FreeDiskSpace(SystemPath(dir.path() / "file.bin"));
  ASSERT_TRUE(of_file.has_value());
  EXPECT_LT(*of_file > *free ? *of_file - *free : *free - *of_file, kSlack);

  std::u16string backslashed = SystemPath(dir.path());
  for (char16_t& c : backslashed) {
    if (c == u'/') c = u'\\';
  }
  EXPECT_TRUE(platform::FreeDiskSpace(backslashed).has_value()) << "the manifest's separator";
}

TEST(FreeDiskSpace, NothingForAPathThatIsNotThere) {
  krdn::testing::TempDir dir;
  EXPECT_FALSE(platform::FreeDiskSpace(SystemPath(dir.path() / "missing/deeper")).has_value());
  EXPECT_FALSE(platform::FreeDiskSpace(u"").has_value());
}

}  // namespace
