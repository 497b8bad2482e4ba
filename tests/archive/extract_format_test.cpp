// The container's fields and bounds: block size range, chunk lengths, the
// size field as the bound of every read, and the shapes of the entry list.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

TEST(ExtractFormat, BlockSizeRange) {
  const struct {
    int32_t blockSize;
    bool accepted;
  } cases[] = {{1023, false}, {1024, true}, {4000000, true}, {4000001, false}, {0, false}, {INT32_MIN, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blockSize);
    TempFolder folder;
    const Extracted out = ExtractArchive(ArchiveBuilder(c.blockSize).File("a.txt", "hello").Build(), folder.path());
    if (c.accepted) {
      EXPECT_EQ(1, out.result);
      EXPECT_STREQ("解凍完了！ ファイル数:1", out.report.message);
      EXPECT_EQ("hello", Contents(folder / "a.txt"));
    } else {
      EXPECT_EQ(0, out.result);
      EXPECT_STREQ("書式エラー！", out.report.message);
      EXPECT_TRUE(FolderEntries(folder.path()).empty());
    }
  }
}

TEST(ExtractFormat, FileCutIntoSeveralChunks) {
  std::string content;
  for (int i = 0; i < 2500; ++i) content += static_cast<char>(i * 7 + i / 256);
  TempFolder folder;
  const Extracted out = ExtractArchive(ArchiveBuilder(1024).File("three.bin", content).Build(), folder.path());
  EXPECT_EQ(1, out.result);
  EXPECT_EQ(content, Contents(folder / "three.bin"));
}

TEST(ExtractFormat, ChunkLengthLimitIsBlockSizePlus16) {
  // A valid block padded out to the length under test; the codec ignores
  // what follows its last code.
  for (int32_t length : {1024 + 16, 1024 + 17}) {
    SCOPED_TRACE(length);
    Bytes chunk = StoredBlock("abc");
    chunk.resize(static_cast<size_t>(length), 0xEE);
    TempFolder folder;
    const Extracted out =
        ExtractArchive(ArchiveBuilder(1024).Entry("pad.bin", 3).Chunk(chunk).Length(0).Build(), folder.path());
    if (length == 1024 + 16) {
      EXPECT_EQ(1, out.result);
      EXPECT_EQ("abc", Contents(folder / "pad.bin"));
    } else {
      EXPECT_EQ(0, out.result);
      EXPECT_STREQ("書式エラー！ [セグメントサイズ] pad.bin", out.report.message);
      EXPECT_EQ("", Contents(folder / "pad.bin"));  // created before its chunks
    }
  }
}

TEST(ExtractFormat, NegativeChunkLengthEndsTheList) {
  for (int32_t terminator : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(terminator);
    TempFolder folder;
    const Bytes archive = ArchiveBuilder()
                              .Entry("a.txt", 5).Chunk(StoredBlock("hello")).Length(terminator)
                              .File("b.txt", "more")
                              .Build();
    const Extracted out = ExtractArchive(archive, folder.path());
    EXPECT_EQ(1, out.result);
    EXPECT_EQ("hello", Contents(folder / "a.txt"));
    EXPECT_EQ("more", Contents(folder / "b.txt"));
  }
}

TEST(ExtractFormat, SizeFieldOfZeroOrLessIsRefusedBeforeTagAndSignature) {
  // A coded tag and a wrong signature would each give another text.
  const ArchiveBuilder builder = ArchiveBuilder().Tag("*XOR").Signature("WRONG-00").File("a.txt", "x");
  for (int32_t size : {0, -1, INT32_MIN}) {
    SCOPED_TRACE(size);
    TempFolder folder;
    const Extracted out = ExtractArchive(builder.BuildWithSize(size), folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("書式エラー！", out.report.message);
    EXPECT_EQ(0, out.report.coderError);
  }
}

// A size too large for size + 24 is refused only after the tag and the
// signature: a coded archive is a coder error as with any other size. Only
// the header is read (the asan build would see more).
TEST(ExtractFormat, SizeFieldTooLargeIsRefusedAfterTagAndSignature) {
  const struct {
    const char* label;
    ArchiveBuilder builder;
    const char* message;
    int32_t coderError;
  } cases[] = {
      {"coded", ArchiveBuilder().Tag("*XOR").File("a.txt", "x"), "コーダーエラー！", 1},
      {"plain", ArchiveBuilder().File("a.txt", "x"), "書式エラー！", 0},
      {"plain, wrong signature", ArchiveBuilder().Signature("WRONG-00").File("a.txt", "x"), "書式エラー！", 0},
  };
  for (const auto& c : cases) {
    for (int32_t size : {INT32_MAX, INT32_MAX - 15, INT32_MAX - 23}) {
      SCOPED_TRACE(testing::Message() << c.label << ", size " << size);
      const Bytes whole = c.builder.BuildWithSize(size);
      const Bytes header(whole.begin(), whole.begin() + 32);  // exactly what may be read
      TempFolder folder;
      const Extracted out = ExtractArchive(header, folder.path());
      EXPECT_EQ(0, out.result);
      EXPECT_STREQ(c.message, out.report.message);
      EXPECT_EQ(c.coderError, out.report.coderError);
      EXPECT_TRUE(FolderEntries(folder.path()).empty());
    }
  }
}

TEST(ExtractFormat, LargestSizeFieldIsAccepted) {
  // total = size + 24 = INT32_MAX; reading ends at the end-of-list marker.
  TempFolder folder;
  const Extracted out =
      ExtractArchive(ArchiveBuilder().File("a.txt", "x").BuildWithSize(INT32_MAX - 24), folder.path());
  EXPECT_EQ(1, out.result);
  EXPECT_EQ(INT32_MAX, out.report.byteTotal);
}

TEST(ExtractFormat, EverySizeFieldShortOfTheEndMarkerIsAReadError) {
  // The memory past the bound holds the rest of a valid archive; no read may
  // reach it.
  const ArchiveBuilder builder = ArchiveBuilder().File("a.txt", "first").File("b.txt", std::string(100, 'b'));
  const Bytes whole = builder.Build();
  const int32_t fullSize = static_cast<int32_t>(whole.size()) - 24;
  for (int32_t size = 1; size < fullSize; ++size) {
    SCOPED_TRACE(size);
    TempFolder folder;
    const Extracted out = ExtractArchive(builder.BuildWithSize(size), folder.path());
    ASSERT_EQ(0, out.result);
    ASSERT_STREQ("リードエラー！", out.report.message);
  }
}

TEST(ExtractFormat, BytesAfterTheEndMarkerAreIgnored) {
  TempFolder folder;
  const ArchiveBuilder builder = ArchiveBuilder().File("a.txt", "x");
  const int32_t size = static_cast<int32_t>(builder.Build().size()) - 24 + 5;
  Bytes archive = builder.BuildWithSize(size);
  archive.insert(archive.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  const Extracted out = ExtractArchive(archive, folder.path());
  EXPECT_EQ(1, out.result);
  EXPECT_EQ(size + 24, out.report.byteTotal);
}

TEST(ExtractFormat, ZeroSizeEntryGivesAnEmptyFile) {
  TempFolder folder;
  const Extracted out =
      ExtractArchive(ArchiveBuilder().File("empty.txt", "").File("b.txt", "xyz").Build(), folder.path());
  EXPECT_EQ(1, out.result);
  EXPECT_EQ(2, out.report.fileCount);
  EXPECT_EQ("", Contents(folder / "empty.txt"));
  EXPECT_EQ("xyz", Contents(folder / "b.txt"));
}

TEST(ExtractFormat, ArchivesWithNothingToUnpackFailWithoutText) {
  const struct {
    const char* label;
    Bytes archive;
    size_t filesLeft;
  } cases[] = {
      {"no entries", ArchiveBuilder().Build(), 0},
      {"only empty entries", ArchiveBuilder().File("e1", "").File("e2", "").Build(), 2},
  };
  ASSERT_EQ(13, static_cast<int32_t>(cases[0].archive.size()) - 24);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    TempFolder folder;
    const Extracted out = ExtractArchive(c.archive, folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("", out.report.message);
    EXPECT_EQ(0, out.report.coderError);
    EXPECT_EQ(0, out.report.fileCount);
    EXPECT_EQ(c.filesLeft, FolderEntries(folder.path()).size());
  }
}

// What a caller that knows its byte count checks before extracting: the
// header is always read; past it only what the size field allows.
TEST(ExtractFormat, ArchiveFitsInItsBytes) {
  const Bytes archive = ArchiveBuilder().File("a.txt", "x").Build();
  const uint32_t length = static_cast<uint32_t>(archive.size());
  Bytes otherMagic = archive;
  otherMagic[0] = 'X';
  const struct {
    const char* label;
    Bytes bytes;
    uint32_t length;
    bool fits;
  } cases[] = {
      {"exactly its size field", archive, length, true},
      {"more bytes than it needs", archive, length + 100, true},
      {"one byte short", archive, length - 1, false},
      {"shorter than a header", archive, 31, false},
      {"a header's worth of another format", otherMagic, 32, true},
      {"size field 0", ArchiveBuilder().File("a", "x").BuildWithSize(0), 32, true},
      {"negative size field", ArchiveBuilder().File("a", "x").BuildWithSize(-5), 32, true},
      {"size field too large for the total", ArchiveBuilder().File("a", "x").BuildWithSize(INT32_MAX), 32, true},
      {"largest total", ArchiveBuilder().File("a", "x").BuildWithSize(INT32_MAX - 24), length, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.fits, ArchiveFitsIn(c.bytes.data(), c.length));
  }
  EXPECT_FALSE(ArchiveFitsIn(nullptr, 100));
}

}  // namespace
}  // namespace archive_test
