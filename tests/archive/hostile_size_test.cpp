// Sizes that lie (declared sizes far beyond the chunks are with the other
// failed chunk lists in extract_outcome_test.cpp): sizes that would pass
// 2^31 once added up, chunks of the longest length full of garbage,
// and the largest block size cut into many tiny chunks.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tests/archive/extract_test_support.h"
#include "tests/archive/hostile_support.h"

namespace archive_test {
namespace {

// A block that decodes to `count` copies of `byte` through the run stage:
// the identity code table (g = 1, L[0] = 8), the run form with escape 0xE5,
// then runs of a one-byte pattern (long runs of up to 3,856 copies, a short
// run for the last 1 to 15).
Bytes RunBlock(int32_t count, uint8_t byte) {
  Bytes runs = {0x01, 0xE5};
  for (int32_t left = count; left > 0;) {
    const int32_t copies = left >= 16 ? std::min(left, 3856) : left;
    if (copies >= 16) {
      // copies = 16 + a + 15 x, with a in 0..15 (the low nibble) and x a byte.
      const int32_t x = std::min((copies - 16) / 15, 255);
      const int32_t a = copies - 16 - 15 * x;
      runs.insert(runs.end(), {0xE5, static_cast<uint8_t>(0x80 | a), static_cast<uint8_t>(x), byte});
    } else {
      runs.insert(runs.end(), {0xE5, static_cast<uint8_t>(copies - 1), byte});
    }
    left -= copies;
  }
  Bytes block;
  PutInt32(block, static_cast<int32_t>(runs.size()));
  block.push_back(1);  // g
  block.push_back(8);  // L[0]
  block.insert(block.end(), runs.begin(), runs.end());
  return block;
}

TEST(HostileSizes, RunBlockHelperDecodesToItsCount) {
  for (int32_t count : {1, 15, 16, 17, 3856, 3857, 100000}) {
    SCOPED_TRACE(count);
    TempFolder folder;
    const Bytes archive = ArchiveBuilder(100000).Entry("r", count).Chunk(RunBlock(count, 'r')).Length(0).Build();
    ASSERT_EQ(1, ExtractArchive(archive, folder.path()).result);
    EXPECT_EQ(std::string(static_cast<size_t>(count), 'r'), Contents(folder / "r"));
  }
}

// A chunk whose block claims to decode to more than any chunk may.
TEST(HostileSizes, BlockClaimingAHugeLength) {
  for (int32_t claimed : {1041, INT32_MAX}) {
    SCOPED_TRACE(claimed);
    Bytes block = StoredBlock("abc");
    SetInt32(block, 0, claimed);
    TempFolder folder;
    const Extracted out = ExtractArchive(ArchiveBuilder().Entry("f", 3).Chunk(block).Length(0).Build(), folder.path());
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ("解凍エラー！ f", out.report.message);
    EXPECT_EQ("", Contents(folder / "f"));
  }
}

// Sizes add up in a signed 32-bit total: 2^31 - 1 bytes in all are taken,
// one more byte is refused before its file is created. Two gigabytes are
// decoded here, so the files are counted in memory, not written.
TEST(HostileSizes, SizesAddingUpPast2To31AreRefused) {
  constexpr int32_t kBlockSize = 4000000;
  constexpr int32_t kFirst = INT32_MAX - 30;
  ArchiveBuilder builder(kBlockSize);
  builder.Entry("big", kFirst);
  const Bytes fullPiece = RunBlock(kBlockSize, 'b');
  int32_t left = kFirst;
  for (; left >= kBlockSize; left -= kBlockSize) builder.Chunk(fullPiece);
  builder.Chunk(RunBlock(left, 'b')).Length(0);
  builder.File("thirty", std::string(30, 't'));  // the total is now INT32_MAX
  builder.Entry("one more", 1).Chunk(StoredBlock("x")).Length(0);

  CountingFiles files;
  PackReader reader;
  reader.SetFileSink(files);
  const Extracted out = ExtractArchive(builder.Build(), "dest", &reader);
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("書式エラー！", out.report.message);
  ASSERT_EQ(2u, files.files().size());
  EXPECT_EQ(kFirst, files.files()[0].bytes);
  EXPECT_EQ(30, files.files()[1].bytes);
  EXPECT_TRUE(files.files()[0].finished && files.files()[1].finished);
}

// Garbage in a chunk of exactly block size + 16 bytes: the longest the
// format allows. Some start like a block (a decoded length of the capacity,
// the identity table) so that they get far into decoding.
TEST(HostileSizes, LongestChunkFullOfGarbage) {
  constexpr int32_t kBlockSize = 1024;
  std::mt19937 random(20261208);
  for (int seed = 0; seed < 64; ++seed) {
    SCOPED_TRACE(seed);
    Bytes garbage(kBlockSize + 16);
    for (uint8_t& byte : garbage) byte = static_cast<uint8_t>(random());
    if (seed % 2 == 1) {
      SetInt32(garbage, 0, kBlockSize + 16 - (seed % 4 == 1 ? 0 : 8));
      garbage[4] = 1;
      garbage[5] = 8;
      garbage[6] = static_cast<uint8_t>(seed % 8 < 4);  // stored form or run form
    }
    TempFolder folder;
    const Bytes archive = ArchiveBuilder(kBlockSize).Entry("g", kBlockSize).Chunk(garbage).Length(0).Build();
    const Extracted out = ExtractArchive(archive, folder.path());
    const std::string kept = Contents(folder / "g");
    if (out.result == 1) {
      EXPECT_EQ(static_cast<size_t>(kBlockSize), kept.size());
    } else {
      EXPECT_TRUE(std::strcmp(out.report.message, "解凍エラー！ g") == 0 ||
                  std::strcmp(out.report.message, "書式エラー！") == 0)
          << out.report.message;
      EXPECT_LE(kept.size(), static_cast<size_t>(kBlockSize));
    }
  }
}

// The largest block size with thousands of tiny chunks and files: nothing
// about the block size makes small pieces fail, and progress comes after
// every chunk.
TEST(HostileSizes, LargestBlockSizeWithManySmallChunks) {
  // Win32 queues at most 10,000 posted messages per thread.
  constexpr int kChunks = 5000;
  constexpr int kFiles = 300;
  ArchiveBuilder builder(4000000);
  std::string many;
  Bytes chunks;
  for (int i = 0; i < kChunks; ++i) {
    const std::string piece(static_cast<size_t>(1 + i % 20), static_cast<char>('a' + i % 26));
    many += piece;
    const Bytes block = StoredBlock(piece);
    PutInt32(chunks, static_cast<int32_t>(block.size()));
    chunks.insert(chunks.end(), block.begin(), block.end());
  }
  builder.Entry("many.bin", static_cast<int32_t>(many.size())).Raw(chunks).Length(0);
  for (int i = 0; i < kFiles; ++i) builder.File("f" + std::to_string(i), "file " + std::to_string(i));

  TempFolder folder;
  PackReader reader;
  ProgressLog progress;
  reader.SetProgressTarget(&progress);
  const Extracted out = ExtractArchive(builder.Build(), folder.path(), &reader);
  ASSERT_EQ(1, out.result) << out.report.message;
  EXPECT_EQ(kFiles + 1, out.report.fileCount);
  EXPECT_EQ(many, Contents(folder / "many.bin"));
  EXPECT_EQ(static_cast<size_t>(kFiles + 1), FolderEntries(folder.path()).size());
  EXPECT_EQ("file 299", Contents(folder / "f299"));
  EXPECT_EQ(static_cast<size_t>(kChunks + kFiles + 1), progress.Collect().size());
}

}  // namespace
}  // namespace archive_test
