// A small archive cut short at every offset and with every single bit
// flipped: each extraction must end cleanly, with its report in order, and
// leave on disk what was read before the damage and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "tests/archive/codec_block_builder.h"
#include "tests/archive/extract_test_support.h"
#include "tests/archive/hostile_support.h"

namespace archive_test {
namespace {

struct Piece {
  Bytes block;       // the coded chunk
  std::string data;  // what it decodes to
};

struct SampleEntry {
  std::string name;
  std::vector<Piece> pieces;
  Info info;
  std::string Content() const {
    std::string content;
    for (const Piece& piece : pieces) content += piece.data;
    return content;
  }
};

Piece Stored(const std::string& data) { return {StoredBlock(data), data}; }

// A chunk through both stages: the run stage's input "01 E5 | E5 0F 61 |
// 62 63 64" (run form, escape E5, 16 times "a", then "bcd") coded with 3
// bits for those seven values and 11 bits for every other one.
Piece Coded() {
  std::array<int, 256> lengths;
  lengths.fill(11);
  const Bytes runInput = codec_test::Hex("01E5 E50F61 626364");
  for (uint8_t symbol : runInput) lengths[symbol] = 3;
  const Bytes block = codec_test::BuildBlock(codec_test::TableFromCodeLengths(lengths), runInput);
  return {block, std::string(16, 'a') + "bcd"};
}

std::vector<SampleEntry> SampleEntries() {
  Info readOnly;
  readOnly.attributes = 0x21;
  readOnly.lastWriteTime = 0x01C8FA781C90E551ull;
  return {
      {"a.txt", {Stored("hello")}, {}},
      {"b.txt", {Coded(), Stored("tail")}, readOnly},
      {"empty", {}, {}},
      {"c.txt", {Stored("abc"), Stored("defg")}, {}},
  };
}

Bytes BuildSample(const std::vector<SampleEntry>& entries) {
  ArchiveBuilder builder;
  for (const SampleEntry& entry : entries) {
    builder.Entry(entry.name, static_cast<int32_t>(entry.Content().size()), entry.info);
    for (const Piece& piece : entry.pieces) builder.Chunk(piece.block);
    builder.Length(0);
  }
  return builder.Build();
}

// The report agrees with the result, whatever happened.
void ExpectConsistentReport(const Extracted& out) {
  ASSERT_TRUE(out.result == 0 || out.result == 1);
  if (out.result == 0) {
    EXPECT_EQ(0, out.report.fileCount);
    EXPECT_EQ(0, out.report.byteTotal);
    EXPECT_TRUE(IsFailureText(out.report.message)) << out.report.message;
  } else {
    EXPECT_EQ(0, std::strncmp(out.report.message, "解凍完了！", std::strlen("解凍完了！")));
  }
  EXPECT_EQ(0, out.report.reserved);
}

TEST(HostileDamage, SampleExtractsWhole) {
  const std::vector<SampleEntry> entries = SampleEntries();
  TempFolder folder;
  const Extracted out = ExtractArchive(BuildSample(entries), folder.path());
  ASSERT_EQ(1, out.result) << out.report.message;
  for (const SampleEntry& entry : entries) EXPECT_EQ(entry.Content(), Contents(folder / entry.name));
}

// The container cut at c bytes, its size field saying so: every entry whose
// info record was read before the cut exists, holding the chunks that lay
// wholly before it, with its times; the rest was never created. A cut
// inside the header leaves nothing.
TEST(HostileDamage, TruncatedAtEveryOffset) {
  const std::vector<SampleEntry> entries = SampleEntries();
  const Bytes whole = BuildSample(entries);
  const Walk layout = WalkArchive(whole);
  ASSERT_TRUE(layout.complete);
  ASSERT_EQ(entries.size(), layout.entries.size());

  for (size_t cut = 0; cut < whole.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    Bytes archive(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    if (cut >= 24) SetInt32(archive, 20, static_cast<int32_t>(cut) - 24);
    // The extractor reads the 32-byte header before it knows any size;
    // every caller hands it at least that much.
    if (archive.size() < 32) archive.resize(32, 0);

    TempFolder folder;
    const Extracted out = ExtractArchive(archive, folder.path());
    ExpectConsistentReport(out);
    EXPECT_EQ(0, out.result);
    EXPECT_STREQ(cut < 32 ? "書式エラー！" : "リードエラー！", out.report.message);

    std::vector<std::string> expectedNames;
    for (size_t e = 0; e < entries.size(); ++e) {
      const WalkedEntry& placed = layout.entries[e];
      if (placed.infoEnd > cut) break;
      expectedNames.push_back(entries[e].name);
      std::string kept;
      for (size_t k = 0; k < placed.chunkEnds.size() && placed.chunkEnds[k] <= cut; ++k) kept += entries[e].pieces[k].data;
      const std::string path = folder / entries[e].name;
      EXPECT_EQ(kept, Contents(path)) << entries[e].name;
      EXPECT_EQ(entries[e].info.lastWriteTime, StatusOf(path).lastWriteTime) << entries[e].name;
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(expectedNames, FolderEntries(folder.path()));
  }
}

// Any one bit flipped: a clean outcome, every file created inside the
// destination under the name of an entry and closed, and on success every
// declared byte written. Some 2,000 extractions: the files are kept in
// memory, where the exact names can be seen too.
TEST(HostileDamage, EverySingleBitFlip) {
  const Bytes whole = BuildSample(SampleEntries());
  const std::string prefix = std::string("dest") + "\\";
  int successes = 0;
  for (size_t bit = 0; bit < whole.size() * 8; ++bit) {
    SCOPED_TRACE("bit " + std::to_string(bit));
    // A flip that enlarges the size field leaves the rest intact, so reads
    // still end at the end-of-list marker, within these bytes.
    Bytes archive = whole;
    archive[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));

    CountingFiles files;
    PackReader reader;
    reader.SetFileSink(files);
    const Extracted out = ExtractArchive(archive, "dest", &reader);
    ExpectConsistentReport(out);

    const Walk walk = WalkArchive(archive);
    ASSERT_LE(files.files().size(), walk.entries.size());
    for (size_t i = 0; i < files.files().size(); ++i) {
      const CountingFiles::File& file = files.files()[i];
      EXPECT_EQ(prefix + walk.entries[i].name, file.path);
      EXPECT_TRUE(file.finished);
      EXPECT_LE(file.bytes, std::max(walk.entries[i].size, 0));
    }
    if (out.result == 1) {
      ++successes;
      EXPECT_TRUE(walk.complete);
      ASSERT_EQ(walk.entries.size(), files.files().size());
      EXPECT_EQ(static_cast<int32_t>(walk.entries.size()), out.report.fileCount);
      for (size_t i = 0; i < walk.entries.size(); ++i) EXPECT_EQ(walk.entries[i].size, files.files()[i].bytes);
    }
  }
  // Flips in names, contents, times and the size field's upper bits still
  // extract: the loop did reach the success branch.
  EXPECT_GT(successes, 100);
}

}  // namespace
}  // namespace archive_test
