// What each failure leaves behind (report, files on disk, reader state), the
// coded-archive hook and progress.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

TEST(ExtractOutcome, ExistingFileIsNeverOverwritten) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(folder / "b.txt", "old"));
  const Bytes archive = ArchiveBuilder().File("a.txt", "aaa").File("b.txt", "new").File("c.txt", "ccc").Build();
  const Extracted out = ExtractArchive(archive, folder.path());
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("ライトエラー！", out.report.message);
  EXPECT_EQ("aaa", Contents(folder / "a.txt"));
  EXPECT_EQ("old", Contents(folder / "b.txt"));
  EXPECT_FALSE(StatusOf(folder / "c.txt").exists);
}

TEST(ExtractOutcome, CreationDispositionIsPassedThrough) {
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(folder / "a.txt", "old contents"));
  PackReader reader;
  reader.creationDisposition = 2;  // CREATE_ALWAYS
  EXPECT_EQ(1, ExtractArchive(ArchiveBuilder().File("a.txt", "new").Build(), folder.path(), &reader).result);
  EXPECT_EQ("new", Contents(folder / "a.txt"));
}

// Chunk lists that go wrong after the file was created: the file keeps what
// was written before, and its times and attributes are applied all the same.
TEST(ExtractOutcome, FailedChunkListsKeepTheFileAsWritten) {
  Info readOnly;
  readOnly.attributes = 0x21;
  const std::string block(1024, 'k');
  Bytes badForm = StoredBlock("abc");
  badForm[6] = 2;  // run stage form neither stored nor runs
  ArchiveBuilder manyTinyChunks;
  manyTinyChunks.Entry("f.bin", INT32_MAX, readOnly);
  for (int i = 0; i < 2000; ++i) manyTinyChunks.Chunk(StoredBlock("z"));
  manyTinyChunks.Length(0);
  const struct {
    const char* label;
    ArchiveBuilder builder;
    const char* message;
    std::string kept;
  } cases[] = {
      {"chunks end before the size",
       ArchiveBuilder().Entry("f.bin", 10, readOnly).Chunk(StoredBlock("hello")).Length(0), "書式エラー！", "hello"},
      {"last block past the size",
       ArchiveBuilder().Entry("f.bin", 1030, readOnly).Chunk(StoredBlock(block)).Chunk(StoredBlock("0123456789")),
       "解凍エラー！ f.bin", block},
      {"block the codec refuses",
       ArchiveBuilder().Entry("f.bin", 1027, readOnly).Chunk(StoredBlock(block)).Chunk(badForm),
       "解凍エラー！ f.bin", block},
      {"chunk data cut off", ArchiveBuilder().Entry("f.bin", 3, readOnly).Length(10), "リードエラー！", ""},
      // Declared sizes far beyond what the chunks give.
      {"largest size, one tiny chunk",
       ArchiveBuilder().Entry("f.bin", INT32_MAX, readOnly).Chunk(StoredBlock("abc")).Length(0), "書式エラー！", "abc"},
      {"largest size, 2,000 one-byte chunks", manyTinyChunks, "書式エラー！", std::string(2000, 'z')},
      {"largest size, container ends inside the chunk list",
       ArchiveBuilder().Entry("f.bin", INT32_MAX, readOnly).Chunk(StoredBlock("abc")), "リードエラー！", "abc"},
      {"negative size, no chunks", ArchiveBuilder().Entry("f.bin", -1, readOnly).Length(0), "書式エラー！", ""},
      {"smallest size, one chunk",
       ArchiveBuilder().Entry("f.bin", INT32_MIN, readOnly).Chunk(StoredBlock("abc")).Length(0), "解凍エラー！ f.bin", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder folder;
    const Extracted out = ExtractArchive(c.builder.Build(), folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ(c.message, out.report.message);
    EXPECT_EQ(0, out.report.fileCount);
    const DiskStatus status = StatusOf(folder / "f.bin");
    EXPECT_EQ(readOnly.lastWriteTime, status.lastWriteTime);
    EXPECT_EQ(readOnly.lastAccessTime, status.lastAccessTime);
    EXPECT_FALSE(status.writable);
    EXPECT_EQ(c.kept, Contents(folder / "f.bin"));
  }
}

TEST(ExtractOutcome, ReadOnlyEntryIsWrittenCompletelyFirst) {
  Info readOnly;
  readOnly.attributes = 0x21;
  const std::string content(3000, 'r');
  TempFolder folder;
  const Extracted out = ExtractArchive(ArchiveBuilder().File("ro.bin", content, readOnly).Build(), folder.path());
  EXPECT_EQ(1, out.result);
  EXPECT_FALSE(StatusOf(folder / "ro.bin").writable);
  EXPECT_EQ(content, Contents(folder / "ro.bin"));
}

TEST(ExtractOutcome, WrongMagicOrSignature) {
  Bytes wrongMagic = ArchiveBuilder().File("a", "x").Build();
  wrongMagic[15] = '1';
  const Bytes wrongSignature = ArchiveBuilder().Signature("QVL-2001").File("a", "x").Build();
  for (const Bytes* archive : {static_cast<const Bytes*>(&wrongMagic), &wrongSignature}) {
    TempFolder folder;
    const Extracted out = ExtractArchive(*archive, folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("書式エラー！", out.report.message);
    EXPECT_EQ(0, out.report.coderError);
    EXPECT_TRUE(FolderEntries(folder.path()).empty());
  }
}

TEST(ExtractOutcome, NoArchiveIsAReadError) {
  TempFolder folder;
  PackReader reader;
  UnpackReport report;
  EXPECT_EQ(0, reader.ExtractFromMemory(nullptr, folder.path(), &report));
  EXPECT_STREQ("リードエラー！", report.message);
}

TEST(ExtractOutcome, MissingDestinationFailsAtTheFirstEntry) {
  TempFolder folder;
  const Extracted out = ExtractArchive(ArchiveBuilder().File("a.txt", "x").Build(), (folder / "missing").c_str());
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("ライトエラー！", out.report.message);
  EXPECT_TRUE(FolderEntries(folder.path()).empty());
}

TEST(ExtractOutcome, NamesReachOnlyExistingSubfolders) {
  TempFolder folder;
  ASSERT_TRUE(MakeFolder(folder / "sub"));
  const Extracted out =
      ExtractArchive(ArchiveBuilder().File("sub\\a.txt", "a").File("sub/b.txt", "b").Build(), folder.path());
  EXPECT_EQ(1, out.result);
  EXPECT_EQ("a", Contents(folder / "sub" + kSeparator + "a.txt"));
  EXPECT_EQ("b", Contents(folder / "sub" + kSeparator + "b.txt"));

  const Extracted missing = ExtractArchive(ArchiveBuilder().File("nosub\\a.txt", "a").Build(), folder.path());
  EXPECT_EQ(0, missing.result);
  EXPECT_STREQ("ライトエラー！", missing.report.message);
}

// The report is cleared first; file count and byte total are set only on
// success; reserved is never written.
TEST(ExtractOutcome, ReportRules) {
  const Bytes good = ArchiveBuilder().File("a", "1").File("b", "2").File("c", "3").Build();
  const Bytes failing = ArchiveBuilder().File("a", "1").Entry("b", 5).Length(0).Build();
  for (const Bytes* archive : {&good, &failing}) {
    TempFolder folder;
    PackReader reader;
    UnpackReport report;
    std::memset(&report, 0x55, sizeof(report));
    const int result = reader.ExtractFromMemory(archive->data(), folder.path(), &report);
    EXPECT_EQ(0, report.reserved);
    EXPECT_EQ(0, report.coderError);
    if (archive == &good) {
      EXPECT_EQ(1, result);
      EXPECT_EQ(3, report.fileCount);
      EXPECT_EQ(static_cast<int32_t>(good.size()), report.byteTotal);
      EXPECT_STREQ("解凍完了！ ファイル数:3", report.message);
    } else {
      EXPECT_EQ(0, result);
      EXPECT_EQ(0, report.fileCount);  // even though two files were created
      EXPECT_EQ(0, report.byteTotal);
      EXPECT_STREQ("書式エラー！", report.message);
    }
    // Without a report the outcome is the same.
    TempFolder again;
    EXPECT_EQ(result, PackReader().ExtractFromMemory(archive->data(), again.path(), nullptr));
    EXPECT_EQ(FolderEntries(folder.path()), FolderEntries(again.path()));
  }
}

TEST(ExtractOutcome, ProgressAfterEachChunkAndOnceMoreOnSuccess) {
  // a.bin: 2,500 bytes in chunks of 1,024 + 1,024 + 452; b.bin: 10 bytes.
  const Bytes archive =
      ArchiveBuilder(1024).File("a.bin", std::string(2500, 'a')).File("b.bin", std::string(10, 'b')).Build();
  const int32_t total = static_cast<int32_t>(archive.size());
  const int32_t entryHead = 1 + 5 + 4 + 28;  // name length, name, size, info
  const auto chunk = [](int32_t piece) { return 4 + piece + 7; };
  int32_t at = 36 + entryHead;
  std::vector<std::pair<int32_t, int32_t>> expected;
  for (int32_t piece : {1024, 1024, 452}) expected.emplace_back(at += chunk(piece), total);
  at += 4 + entryHead;
  expected.emplace_back(at += chunk(10), total);
  expected.emplace_back(total, total);

  TempFolder folder;
  PackReader reader;
  ProgressLog log;
  reader.SetProgressTarget(&log);
  ASSERT_EQ(1, reader.ExtractFromMemory(archive.data(), folder.path(), nullptr));
  EXPECT_EQ(expected, log.Collect());

  // A failure posts after each chunk written, but not once more.
  TempFolder failing;
  ASSERT_TRUE(WriteFileBytes(failing / "b.bin", "exists"));
  ASSERT_EQ(0, reader.ExtractFromMemory(archive.data(), failing.path(), nullptr));
  std::vector<std::pair<int32_t, int32_t>> both = expected;
  both.insert(both.end(), expected.begin(), expected.begin() + 3);
  EXPECT_EQ(both, log.Collect());

  // A cleared target receives nothing.
  TempFolder cleared;
  reader.SetProgressTarget(nullptr);
  ASSERT_EQ(1, reader.ExtractFromMemory(archive.data(), cleared.path(), nullptr));
  EXPECT_EQ(both, log.Collect());
}

// A test coding: XOR with a key; Prepare accepts the tag "*XOR".
class XorTransform : public DataTransform {
 public:
  explicit XorTransform(uint8_t key) : key_(key) {}
  int Prepare(uint8_t* bytes, int count) override {
    prepared.assign(bytes, bytes + count);
    if (alterTag) bytes[0] ^= 1;
    return refuse ? 0 : 1;
  }
  int Apply(uint8_t* bytes, int count) override {
    applied.push_back(count);
    for (int i = 0; i < count; ++i) bytes[i] ^= key_;
    return 1;
  }
  bool refuse = false;
  bool alterTag = false;
  std::vector<uint8_t> prepared;
  std::vector<int> applied;

 private:
  uint8_t key_;
};

TEST(ExtractOutcome, CodedArchiveNeedsAWorkingTransform) {
  const Bytes coded = ArchiveBuilder().Tag("*XOR").XorCoded(0x5A).File("a.txt", "coded").Build();
  XorTransform refusing(0x5A), altering(0x5A), wrongKey(0x33);
  refusing.refuse = true;
  altering.alterTag = true;
  for (XorTransform* transform : {static_cast<XorTransform*>(nullptr), &refusing, &altering, &wrongKey}) {
    TempFolder folder;
    PackReader reader;
    reader.transform = transform;
    const Extracted out = ExtractArchive(coded, folder.path(), &reader);
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("コーダーエラー！", out.report.message);
    EXPECT_EQ(1, out.report.coderError);
    EXPECT_TRUE(FolderEntries(folder.path()).empty());
  }
  EXPECT_EQ(std::vector<uint8_t>({'X', 'O', 'R'}), refusing.prepared);
}

TEST(ExtractOutcome, WorkingTransformDecodesEveryCodedRange) {
  const Bytes coded = ArchiveBuilder()
                          .Tag("*XOR").XorCoded(0x5A)
                          .File("a.txt", std::string(1500, 'x'))
                          .File("bb.txt", "two")
                          .Build();
  TempFolder folder;
  XorTransform transform(0x5A);
  PackReader reader;
  reader.transform = &transform;
  const Extracted out = ExtractArchive(coded, folder.path(), &reader);
  EXPECT_EQ(1, out.result);
  EXPECT_EQ(std::string(1500, 'x'), Contents(folder / "a.txt"));
  EXPECT_EQ("two", Contents(folder / "bb.txt"));
  // Signature, then per entry its name, info record and each chunk's data.
  EXPECT_EQ(std::vector<int>({8, 5, 28, 1024 + 7, 476 + 7, 6, 28, 3 + 7}), transform.applied);
  EXPECT_EQ(&transform, reader.transform);

  // Opening a plain archive drops the transform.
  TempFolder plain;
  EXPECT_EQ(1, ExtractArchive(ArchiveBuilder().File("p", "p").Build(), plain.path(), &reader).result);
  EXPECT_EQ(nullptr, reader.transform);
}

}  // namespace
}  // namespace archive_test
