// Which reparse points the install root treats as links: symbolic links and mount
// points (junctions) only. Placeholders of cloud synchronisers and files of the
// storage services are files, so a run never removes them as links.
#include "platform/io/win32/reparse_tags.h"

#include <gtest/gtest.h>

namespace {

using platform::win32::IsLinkReparseTag;

TEST(ReparseTags, SymbolicLinksAndMountPointsAreLinks) {
  EXPECT_TRUE(IsLinkReparseTag(IO_REPARSE_TAG_SYMLINK));
  EXPECT_TRUE(IsLinkReparseTag(IO_REPARSE_TAG_MOUNT_POINT));
}

TEST(ReparseTags, CloudPlaceholdersOfEveryProviderAreFiles) {
  // The cloud tag carries the provider's number in bits 12 to 15.
  for (DWORD provider = 0; provider < 16; ++provider) {
    const DWORD tag = static_cast<DWORD>(IO_REPARSE_TAG_CLOUD) | provider << 12;
    EXPECT_FALSE(IsLinkReparseTag(tag)) << std::hex << tag;
  }
  EXPECT_FALSE(IsLinkReparseTag(IO_REPARSE_TAG_CLOUD_F));
  EXPECT_FALSE(IsLinkReparseTag(IO_REPARSE_TAG_ONEDRIVE));
  EXPECT_FALSE(IsLinkReparseTag(IO_REPARSE_TAG_FILE_PLACEHOLDER));
}

TEST(ReparseTags, StorageServicesAndUnknownTagsAreFiles) {
  for (const DWORD tag : {static_cast<DWORD>(IO_REPARSE_TAG_DEDUP), static_cast<DWORD>(IO_REPARSE_TAG_WOF),
                          static_cast<DWORD>(IO_REPARSE_TAG_HSM), static_cast<DWORD>(IO_REPARSE_TAG_HSM2),
                          static_cast<DWORD>(IO_REPARSE_TAG_SIS), static_cast<DWORD>(IO_REPARSE_TAG_STORAGE_SYNC),
                          static_cast<DWORD>(IO_REPARSE_TAG_APPEXECLINK), DWORD{0}, DWORD{0x7FFFFFFF}}) {
    EXPECT_FALSE(IsLinkReparseTag(tag)) << std::hex << tag;
  }
  // A tag one bit away from a link's is no link.
  EXPECT_FALSE(IsLinkReparseTag(static_cast<DWORD>(IO_REPARSE_TAG_SYMLINK) ^ 1));
  EXPECT_FALSE(IsLinkReparseTag(static_cast<DWORD>(IO_REPARSE_TAG_MOUNT_POINT) ^ 0x10));
}

}  // namespace
