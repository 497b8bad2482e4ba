// Entry names that would leave the destination folder or reach a device are
// refused before anything is created; so are paths that do not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "archive/entry_name.h"
#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

const struct {
  std::string name;
  bool safe;
} kNames[] = {
    {"a.txt", true},
    {"sub\\a.txt", true},
    {"sub/a.txt", true},
    {".hidden", true},
    {"a..b", true},
    {"ソフト.txt", true},          // "ソ" is 83 5C: its 5C is no separator
    {"表\\ソ", true},
    {"ｷｬﾝｾﾙ", true},
    {"CONSOLE.txt", true},
    {"COM10", true},
    {"LPT", true},
    {"nul_device", true},
    {"", false},
    {".", false},
    {"..", false},
    {"..\\up", false},
    {"../up", false},
    {"sub\\..\\..\\up", false},
    {"sub\\.\\a", false},
    {"\\root", false},
    {"/root", false},
    {"sub\\", false},
    {"a\\\\b", false},
    {"a//b", false},
    {"C:x", false},
    {"C:\\x", false},
    {"file.txt:stream", false},
    {"CON", false},
    {"con", false},
    {"Con.txt", false},
    {"NUL.tar.gz", false},
    {"aux", false},
    {"PRN", false},
    {"COM1", false},
    {"com9.log", false},
    {"LPT1", false},
    {"lpt9", false},
    {"CON .txt", false},
    {"CONIN$", false},
    {"sub\\nul", false},
    {"name.", false},
    {"name ", false},
    {"sub.\\x", false},
    {std::string("a\0b", 3), false},
    {"tab\there", false},
    {"\x81", false},        // a two-byte character cut off
    {"\x81\x20", false},    // with an invalid second byte
    {"\x81:", false},
};

TEST(ExtractNames, SafeEntryNames) {
  for (const auto& c : kNames) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.safe, IsSafeEntryName(c.name.data(), static_cast<int>(c.name.size())));
  }
}

TEST(ExtractNames, UnsafeNamesCreateNothing) {
  for (const auto& c : kNames) {
    if (c.safe || c.name.empty()) continue;
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string dest = folder / "dest";
    ASSERT_TRUE(MakeFolder(dest));
    ASSERT_TRUE(MakeFolder(dest + kSeparator + "sub"));
    const Bytes archive = ArchiveBuilder().File("first.txt", "kept").File(c.name, "bad").File("z", "z").Build();
    const Extracted out = ExtractArchive(archive, dest.c_str());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("ライトエラー！", out.report.message);
    EXPECT_EQ(std::vector<std::string>({"dest"}), FolderEntries(folder.path()));
    EXPECT_EQ(std::vector<std::string>({"first.txt", "sub"}), FolderEntries(dest));
    EXPECT_TRUE(FolderEntries(dest + kSeparator + "sub").empty());
  }
}

TEST(ExtractNames, PathMustFitTheBuffer) {
  TempFolder folder;
  // folder, "\", name and NUL: exactly 260 bytes fit, 261 do not.
  const int longest = 260 - static_cast<int>(std::strlen(folder.path())) - 2;
  ASSERT_GT(longest, 100);
  ASSERT_LE(longest, 255);
  const std::string fits(static_cast<size_t>(longest), 'f');
  const std::string tooLong(static_cast<size_t>(longest) + 1, 't');
  const Extracted ok = ExtractArchive(ArchiveBuilder().File(fits, "x").Build(), folder.path());
  EXPECT_EQ(1, ok.result);
  EXPECT_EQ("x", Contents(folder / fits));

  const Extracted refused = ExtractArchive(ArchiveBuilder().File(tooLong, "x").Build(), folder.path());
  EXPECT_EQ(0, refused.result);
  EXPECT_STREQ("ライトエラー！", refused.report.message);
  EXPECT_EQ(std::vector<std::string>({fits}), FolderEntries(folder.path()));
}

TEST(ExtractNames, FolderTooLongForAnyName) {
  for (size_t length : {258u, 259u, 260u, 1000u}) {
    SCOPED_TRACE(length);
    const std::string folder(length, 'd');
    const Extracted out = ExtractArchive(ArchiveBuilder().File("a", "x").Build(), folder.c_str());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("ライトエラー！", out.report.message);
  }
}

}  // namespace
}  // namespace archive_test
