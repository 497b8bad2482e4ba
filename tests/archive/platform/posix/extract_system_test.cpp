// POSIX: names become UTF-8 as Windows reads them, and FILETIMEs become
// timespecs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/file_time.h"
#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

TEST(ExtractPlatform, NamesBecomeUtf8WithSlashes) {
  TempFolder folder;
  const std::string sub = reinterpret_cast<const char*>(u8"表示");
  ASSERT_TRUE(MakeFolder(folder / sub));
  // "ソ" and "表" end in the byte 5C; only the real backslash separates.
  const Bytes archive =
      ArchiveBuilder().File("ソフト.txt", "s").File("表示\\ソ.txt", "t").File("ｷｬﾝｾﾙ", "k").Build();
  ASSERT_EQ(1, ExtractArchive(archive, folder.path()).result);
  EXPECT_EQ("s", Contents(folder / reinterpret_cast<const char*>(u8"ソフト.txt")));
  EXPECT_EQ("t", Contents(folder / (sub + "/" + reinterpret_cast<const char*>(u8"ソ.txt"))));
  EXPECT_EQ("k", Contents(folder / reinterpret_cast<const char*>(u8"ｷｬﾝｾﾙ")));
  EXPECT_EQ(3u, FolderEntries(folder.path()).size());  // the two files and the subfolder
}

// Bytes that iconv's CP932 has no character for get the one Windows reads,
// so the file has the name it has there (names and expected UTF-8).
TEST(ExtractPlatform, NamesGetTheCharactersWindowsReads) {
  const char* const cases[][2] = {
      {"\x80\xA0\xFD\xFF", "\xC2\x80\xEF\xA3\xB0\xEF\xA3\xB1\xEF\xA3\xB3"},
      {"a\x85\x40\x83\x5C", "a\xE3\x83\xBB\xE3\x82\xBD"},  // unassigned: "・"; then "ソ"
  };
  for (const auto& c : cases) {
    TempFolder folder;
    EXPECT_EQ(1, ExtractArchive(ArchiveBuilder().File(c[0], "x").Build(), folder.path()).result);
    EXPECT_EQ(std::vector<std::string>({c[1]}), FolderEntries(folder.path()));
  }
}

TEST(ExtractPlatform, ZeroFileTimeLeavesTheTimeAlone) {
  Info info;
  info.lastWriteTime = 0;
  TempFolder folder;
  ASSERT_EQ(1, ExtractArchive(ArchiveBuilder().File("z", "z", info).Build(), folder.path()).result);
  const DiskStatus status = StatusOf(folder / "z");
  EXPECT_GT(status.lastWriteTime, kFileTimeUnixEpoch + 50 * 365 * 86400 * kFileTimeUnitsPerSecond);
  EXPECT_EQ(info.lastAccessTime, status.lastAccessTime);
}

TEST(ExtractPlatform, FileTimeAndTimespec) {
  const struct {
    uint64_t fileTime;
    time_t seconds;
    long nanoseconds;
  } cases[] = {
      {kFileTimeUnixEpoch, 0, 0},
      {kFileTimeUnixEpoch + 1, 0, 100},
      {kFileTimeUnixEpoch - 1, -1, 999999900},
      {kFileTimeUnixEpoch - kFileTimeUnitsPerSecond, -1, 0},
      {0x01C8FA781C90E550ull, 1218324716, 233659200},  // 2008-08-09 23:31:56 UTC
      {0, -11644473600, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileTime);
    const timespec time = FileTimeToTimespec(c.fileTime);
    EXPECT_EQ(c.seconds, time.tv_sec);
    EXPECT_EQ(c.nanoseconds, time.tv_nsec);
    EXPECT_EQ(c.fileTime, TimespecToFileTime(time));
  }
  EXPECT_EQ(0u, TimespecToFileTime(timespec{-11644473601, 0}));  // before 1601
}

}  // namespace
}  // namespace archive_test
