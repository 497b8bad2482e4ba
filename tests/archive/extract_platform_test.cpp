// The platform layer under the extractor: real times, attributes and names
// on disk, and write failures injected through the file operations table.
#include <gtest/gtest.h>

#include <string>

#include "tests/archive/extract_test_support.h"

#ifndef _WIN32
#include "base/file_time.h"
#endif

namespace archive_test {
namespace {

TEST(ExtractPlatform, TimesAndAttributesAreApplied) {
  Info plain;
  Info readOnly;
  readOnly.attributes = 0x21;
  readOnly.creationTime = 0x01BAA1D5F6C80000ull;    // 1977-01-01
  readOnly.lastAccessTime = 0x01D9B1E3A0A3B1F1ull;  // 2023, odd 100 ns digits
  readOnly.lastWriteTime = 0x01A8E79FE1D58000ull;   // before 1970
  for (const Info* info : {&plain, &readOnly}) {
    TempFolder folder;
    ASSERT_EQ(1, ExtractArchive(ArchiveBuilder().File("t.bin", "times", *info).Build(), folder.path()).result);
    const DiskStatus status = StatusOf(folder / "t.bin");
    ASSERT_TRUE(status.exists);
    EXPECT_EQ(info->lastWriteTime, status.lastWriteTime);
    EXPECT_EQ(info->lastAccessTime, status.lastAccessTime);
    if (CreationTimeIsKept()) {
      EXPECT_EQ(info->creationTime, status.creationTime);
    }
    EXPECT_EQ((info->attributes & 0x01) == 0, status.writable);
#ifdef _WIN32
    EXPECT_EQ(info->attributes & 0x01, status.attributes & 0x01);
#endif
  }
}

// Write failures, injected: the n-th write fails outright or stops short;
// without a write to fail, every create fails.
struct InjectedFailures final : FileSink {
  int failAt = 0;  // 0: fail every create instead
  bool shortWrite = false;
  int calls = 0;
  FileHandle Create(const char* path, int nameStart, uint32_t disposition) noexcept override {
    if (failAt == 0) return NoFileHandle();
    return theSystemFiles.Create(path, nameStart, disposition);
  }
  int32_t Write(FileHandle file, const uint8_t* bytes, int32_t count) noexcept override {
    if (++calls != failAt) return theSystemFiles.Write(file, bytes, count);
    if (!shortWrite) return -1;
    return theSystemFiles.Write(file, bytes, count - 1);
  }
  void Finish(FileHandle file, const char* path, const EntryInfo& info) noexcept override {
    theSystemFiles.Finish(file, path, info);
  }
};

TEST(ExtractPlatform, WriteFailuresNameTheEntryAndKeepWhatWasWritten) {
  const std::string content(2500, 'w');
  const Bytes archive = ArchiveBuilder(1024).File("first.txt", "1").File("w.bin", content).Build();
  const struct {
    const char* label;
    bool shortWrite;
    size_t kept;
  } cases[] = {{"full disk", false, 1024}, {"short write", true, 2047}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    InjectedFailures injected;
    injected.failAt = 3;  // first.txt's chunk, then w.bin's first two
    injected.shortWrite = c.shortWrite;
    TempFolder folder;
    PackReader reader;
    reader.fileSink = &injected;
    const Extracted out = ExtractArchive(archive, folder.path(), &reader);
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("ライトエラー！ w.bin", out.report.message);
    EXPECT_EQ(3, injected.calls);
    const DiskStatus status = StatusOf(folder / "w.bin");
    EXPECT_EQ(Info().lastWriteTime, status.lastWriteTime);
    EXPECT_EQ(content.substr(0, c.kept), Contents(folder / "w.bin"));
  }

  InjectedFailures noCreate;
  PackReader reader;
  reader.fileSink = &noCreate;
  TempFolder folder;
  const Extracted out = ExtractArchive(archive, folder.path(), &reader);
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("ライトエラー！", out.report.message);
}

#ifdef _WIN32

TEST(ExtractPlatform, JapaneseNamesKeepTheirBytes) {
  TempFolder folder;
  ASSERT_TRUE(MakeFolder(folder / "表示"));
  const Bytes archive = ArchiveBuilder().File("ソフト.txt", "s").File("表示\\ソ.txt", "t").Build();
  ASSERT_EQ(1, ExtractArchive(archive, folder.path()).result);
  EXPECT_EQ("s", Contents(folder / "ソフト.txt"));
  EXPECT_EQ("t", Contents(folder / "表示\\ソ.txt"));
}

#else

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

#endif

}  // namespace
}  // namespace archive_test
