// Symbolic links met on the way of an entry's name: POSIX only, since
// Windows has none that a user can make without rights.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

TEST(HostileNames, SymbolicLinksAreNeverFollowed) {
  TempFolder outside;
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(outside / "victim", "precious"));
  ASSERT_EQ(0, symlink((outside / "victim").c_str(), (folder / "existing").c_str()));
  ASSERT_EQ(0, symlink((outside / "planted").c_str(), (folder / "dangling").c_str()));
  for (const char* name : {"existing", "dangling"}) {
    SCOPED_TRACE(name);
    const Extracted out = ExtractArchive(ArchiveBuilder().File(name, "overwritten").Build(), folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("ライトエラー！", out.report.message);
  }
  EXPECT_EQ("precious", Contents(outside / "victim"));
  EXPECT_EQ(std::vector<std::string>({"victim"}), FolderEntries(outside.path()));
}

// A link to a folder elsewhere, as any element of an entry's path, is not
// followed either; a real folder on the way is. The destination itself may
// be reached through a link: it is the caller's.
TEST(HostileNames, SymbolicLinksToFoldersAreNeverFollowed) {
  TempFolder outside;
  TempFolder folder;
  ASSERT_TRUE(MakeFolder(folder / "real"));
  ASSERT_EQ(0, symlink(outside.path(), (folder / "sub").c_str()));
  ASSERT_EQ(0, symlink(outside.path(), (folder / "real" + kSeparator + "link").c_str()));
  for (const char* name : {"sub\\f.txt", "sub/f.txt", "real\\link\\f.txt"}) {
    SCOPED_TRACE(name);
    const Extracted out = ExtractArchive(ArchiveBuilder().File(name, "escaped").Build(), folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("ライトエラー！", out.report.message);
    EXPECT_TRUE(FolderEntries(outside.path()).empty());
  }
  EXPECT_EQ(std::vector<std::string>({"link"}), FolderEntries(folder / "real"));

  ASSERT_EQ(0, symlink(folder.path(), (outside / "to-dest").c_str()));
  const std::string throughLink = outside / "to-dest";
  const Extracted out = ExtractArchive(ArchiveBuilder().File("real\\f.txt", "inside").Build(), throughLink.c_str());
  EXPECT_EQ(1, out.result) << out.report.message;
  EXPECT_EQ("inside", Contents(folder / "real" + kSeparator + "f.txt"));
}

}  // namespace
}  // namespace archive_test
