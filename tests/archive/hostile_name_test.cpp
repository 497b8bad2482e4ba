// Hostile entry names and names that meet files already there: each entry
// is created exactly as named inside the destination, or refused with
// nothing created; nothing that exists is ever changed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "archive/entry_name.h"
#include "tests/archive/extract_test_support.h"
#include "tests/archive/hostile_support.h"

namespace archive_test {
namespace {

// Extraction into a folder named relative to the current directory, which
// this guard moves into a fresh folder for its lifetime.
class InsideFolder {
 public:
  explicit InsideFolder(const std::string& path) : previous_(CurrentFolder()) {
    EXPECT_TRUE(SetCurrentFolder(path));
  }
  ~InsideFolder() { EXPECT_TRUE(SetCurrentFolder(previous_)); }

 private:
  std::string previous_;
};

// The longest name the format holds only fits the path buffer behind the
// shortest folder: "." + separator + 255 bytes + NUL is 258 bytes.
TEST(HostileNames, LongestNames) {
  TempFolder folder;
  const std::string longest(255, 'n');
  {
    InsideFolder inside(folder.path());
    const Extracted out = ExtractArchive(ArchiveBuilder().File(longest, "long").Build(), ".");
    EXPECT_EQ(1, out.result) << out.report.message;
  }
  EXPECT_EQ("long", Contents(folder / longest));

  // Behind a real folder the same name does not fit, and is refused.
  TempFolder other;
  const Extracted refused = ExtractArchive(ArchiveBuilder().File(longest, "long").Build(), other.path());
  EXPECT_EQ(0, refused.result);
  EXPECT_STREQ("ライトエラー！", refused.report.message);
  EXPECT_TRUE(FolderEntries(other.path()).empty());

  // 255 one-byte katakana fit the buffer but make a name too long for the
  // file system (765 bytes in UTF-8): refused by the system, cleanly.
  const std::string katakana(255, '\xB1');
  TempFolder third;
  InsideFolder inside(third.path());
  const Extracted wide = ExtractArchive(ArchiveBuilder().File(katakana, "wide").Build(), ".");
  if (wide.result == 1) {
    EXPECT_EQ(1u, FolderEntries(".").size());
  } else {
    EXPECT_STREQ("ライトエラー！", wide.report.message);
    EXPECT_TRUE(FolderEntries(".").empty());
  }
}

// Every byte value inside a name ("n" b "z", or "n" b 9F when b starts a
// two-byte character) and at its end ("n" b). A name is refused as a whole
// (nothing created, "ライトエラー！") or its one file holds the content, the
// same on every system: Windows reads every byte that the name check lets
// through as some character ("・" for the rows without 9F), and so does
// the POSIX layer. Only what Windows names cannot hold (< > " | ? *) is
// the file system's to refuse; filepacker's sink refuses it everywhere.
TEST(HostileNames, EveryByteValue) {
  auto mustRefuse = [](int b, bool atEnd) {
    if (b < 0x20 || b == 0x7F || b == ':' || b == '\\' || b == '/') return true;
    if (atEnd && (b == '.' || b == ' ')) return true;
    return atEnd && IsCp932LeadByte(static_cast<uint8_t>(b));  // a cut character
  };
  auto mustWork = [&](int b, bool atEnd) {
    return !mustRefuse(b, atEnd) && std::string("<>\"|?*").find(static_cast<char>(b)) == std::string::npos;
  };
  int created = 0;
  for (int b = 0x01; b <= 0xFF; ++b) {
    for (bool atEnd : {false, true}) {
      std::string name = "n";
      name += static_cast<char>(b);
      if (!atEnd) name += IsCp932LeadByte(static_cast<uint8_t>(b)) ? '\x9F' : 'z';
      SCOPED_TRACE(testing::Message() << "byte " << std::hex << b << (atEnd ? " at the end" : " inside"));
      TempFolder outer;
      const std::string dest = outer / "dest";
      ASSERT_TRUE(MakeFolder(dest));
      const Extracted out = ExtractArchive(ArchiveBuilder().File(name, "content").Build(), dest.c_str());
      EXPECT_EQ(std::vector<std::string>({"dest"}), FolderEntries(outer.path()));
      const std::vector<std::string> files = FolderEntries(dest);
      if (out.result == 1) {
        ++created;
        EXPECT_FALSE(mustRefuse(b, atEnd));
        ASSERT_EQ(1u, files.size());
        EXPECT_EQ("content", Contents(dest + kSeparator + files[0]));
      } else {
        EXPECT_FALSE(mustWork(b, atEnd));
        EXPECT_STREQ("ライトエラー！", out.report.message);
        EXPECT_TRUE(files.empty());
      }
    }
  }
  EXPECT_GT(created, 200);
}

// What is already in the destination stays as it was: a file, a folder, a
// file made earlier in the same extraction, and, on POSIX, a symbolic link
// that points out of the folder.
TEST(HostileNames, CollisionsWithWhatExists) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(folder / "old.txt", "old"));
  const DiskStatus before = StatusOf(folder / "old.txt");
  ASSERT_TRUE(MakeFolder(folder / "dir"));
  ASSERT_TRUE(WriteFileBytes(folder / "dir" + kSeparator + "inner", "inner"));

  const struct {
    const char* name;
    const char* message;
  } cases[] = {{"old.txt", "ライトエラー！"}, {"dir", "ライトエラー！"}, {"twice", "ライトエラー！"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes archive = ArchiveBuilder().File("twice", "first").File(c.name, "new").File("after", "x").Build();
    const Extracted out = ExtractArchive(archive, folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ(c.message, out.report.message);
    EXPECT_EQ("first", Contents(folder / "twice"));
    EXPECT_FALSE(StatusOf(folder / "after").exists);
    // The same archive again: now "twice" itself is in the way.
    EXPECT_EQ(0, ExtractArchive(archive, folder.path()).result);
    EXPECT_EQ("first", Contents(folder / "twice"));
    ASSERT_TRUE(StatusOf(folder / "twice").exists);
    std::remove((folder / "twice").c_str());
  }
  EXPECT_EQ("old", Contents(folder / "old.txt"));
  EXPECT_EQ(before.lastWriteTime, StatusOf(folder / "old.txt").lastWriteTime);
  EXPECT_EQ(std::vector<std::string>({"inner"}), FolderEntries(folder / "dir"));
  EXPECT_EQ(std::vector<std::string>({"dir", "old.txt"}), FolderEntries(folder.path()));
}

// Names that differ only in case are one name to Windows, two to POSIX.
TEST(HostileNames, NamesDifferingInCase) {
  TempFolder folder;
  const Extracted out = ExtractArchive(ArchiveBuilder().File("Read.me", "upper").File("read.ME", "lower").Build(),
                                       folder.path());
  if (kNamesIgnoreCase) {
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("ライトエラー！", out.report.message);
    EXPECT_EQ(std::vector<std::string>({"Read.me"}), FolderEntries(folder.path()));
    EXPECT_EQ("upper", Contents(folder / "Read.me"));
  } else {
    EXPECT_EQ(1, out.result);
    EXPECT_EQ(std::vector<std::string>({"Read.me", "read.ME"}), FolderEntries(folder.path()));
  }
}

}  // namespace
}  // namespace archive_test
