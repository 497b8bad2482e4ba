// The platform layer under the extractor: real times, attributes and names
// on disk, and write failures injected through the file operations table.
#include <gtest/gtest.h>

#include <string>

#include "tests/archive/extract_test_support.h"

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
    EXPECT_EQ(info->attributes & 0x01, status.attributes & 0x01);
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
    reader.SetFileSink(injected);
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
  reader.SetFileSink(noCreate);
  TempFolder folder;
  const Extracted out = ExtractArchive(archive, folder.path(), &reader);
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("ライトエラー！", out.report.message);
}

}  // namespace
}  // namespace archive_test
