// Win32: names keep their code page 932 bytes on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

TEST(ExtractPlatform, JapaneseNamesKeepTheirBytes) {
  TempFolder folder;
  ASSERT_TRUE(MakeFolder(folder / "表示"));
  const Bytes archive = ArchiveBuilder().File("ソフト.txt", "s").File("表示\\ソ.txt", "t").Build();
  ASSERT_EQ(1, ExtractArchive(archive, folder.path()).result);
  EXPECT_EQ("s", Contents(folder / "ソフト.txt"));
  EXPECT_EQ("t", Contents(folder / "表示\\ソ.txt"));
}

}  // namespace
}  // namespace archive_test
