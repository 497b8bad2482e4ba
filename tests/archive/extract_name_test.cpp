// Entry names that would leave the destination folder or reach a device are
// refused before anything is created; so are paths that do not fit.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
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
    {"COM0", false},
    {"lpt0.txt", false},
    // Windows reads 0xF0-0xFC as lead bytes too: FA 81 is one kanji, then
    // come a separator and a device; FA 5C is one kanji ending in 0x5C.
    {"\xFA\x81\\NUL", false},
    {"\xFA\x5C.txt", true},
    {"\xFC", false},
};

TEST(ExtractNames, SafeEntryNames) {
  for (const auto& c : kNames) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.safe, IsSafeEntryName(c.name.data(), static_cast<int>(c.name.size())));
  }
}

// For every first and second byte, the name's split into characters agrees
// with the system's: a byte that starts no character of two stands alone;
// a lead byte takes any second byte that some character has (a code that
// no character has is still read as one by Windows) and with any other
// byte, or none, is no character.
TEST(ExtractNames, CharactersSplitAsTheSystemSplitsThem) {
  std::set<int> secondBytes;
  for (int lead = 0; lead < 256; ++lead) {
    for (int trail = 0; trail < 256; ++trail) {
      if (SystemLeadByte(static_cast<uint8_t>(lead)) &&
          SystemCharacter(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail))) {
        secondBytes.insert(trail);
      }
    }
  }
  EXPECT_EQ(188u, secondBytes.size());  // 40-7E and 80-FC
  int leadBytes = 0, disagreements = 0;
  for (int first = 0; first < 256; ++first) {
    const bool lead = SystemLeadByte(static_cast<uint8_t>(first));
    leadBytes += lead;
    const uint8_t alone = static_cast<uint8_t>(first);
    EXPECT_EQ(lead ? 0 : 1, Cp932CharacterLength(&alone, 1)) << std::hex << first;
    for (int second = 0; second < 256; ++second) {
      const uint8_t pair[2] = {static_cast<uint8_t>(first), static_cast<uint8_t>(second)};
      const int expected = !lead ? 1 : secondBytes.count(second) != 0 ? 2 : 0;
      if (Cp932CharacterLength(pair, 2) != expected && ++disagreements <= 10) {
        ADD_FAILURE() << std::hex << first << " " << second << ": the system reads " << expected;
      }
    }
  }
  EXPECT_EQ(60, leadBytes);  // 81-9F and E0-FC
  EXPECT_EQ(0, disagreements);
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
