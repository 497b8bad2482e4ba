// Archives of both cuts and any number of threads: every entry decodes back
// to its file, piece by piece within the block size, and the archive is the
// same for one thread and for four.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/block_codec.h"
#include "packer/archive_writer.h"
#include "tests/common/test_files.h"

namespace {

constexpr int32_t kBlock = 65536;

struct DecodedEntry {
  std::string name;
  std::vector<int32_t> pieces;
  std::string bytes;
};

// Walks the archive as the extractor does and decodes every chunk, with the
// extractor's capacity and buffer.
std::vector<DecodedEntry> Decode(const std::string& archive) {
  std::vector<DecodedEntry> entries;
  std::vector<uint8_t> buffer(kBlock + 512);
  BlockCodec codec;
  auto int32At = [&](size_t at) {
    int32_t value = 0;
    if (at + 4 <= archive.size()) std::memcpy(&value, archive.data() + at, 4);
    return value;
  };
  size_t at = 36;
  while (at < archive.size() && archive[at] != 0) {
    DecodedEntry entry;
    const size_t nameLength = static_cast<uint8_t>(archive[at]);
    entry.name = archive.substr(at + 1, nameLength);
    at += 1 + nameLength + 32;
    for (int32_t length; (length = int32At(at)) > 0;) {
      at += 4;
      EXPECT_LE(length, kBlock + 16);
      if (length > kBlock + 16 || at + static_cast<size_t>(length) > archive.size()) return entries;
      std::memcpy(buffer.data(), archive.data() + at, static_cast<size_t>(length));
      at += static_cast<size_t>(length);
      const int32_t decoded = codec.Decode(buffer.data(), length, kBlock + 16);
      EXPECT_GT(decoded, 0);
      if (decoded <= 0) return entries;
      entry.pieces.push_back(decoded);
      entry.bytes.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(decoded));
    }
    at += 4;
    entries.push_back(entry);
  }
  EXPECT_EQ(at + 1, archive.size()) << "the end-of-list marker is the last byte";
  return entries;
}

// Random bytes, text, and random bytes of 16 values, changing in the middle
// of fixed pieces: an adaptive cut has something to find.
std::string Changing(size_t size) {
  std::string bytes = RandomBytes(size * 3 / 8, 21);
  while (bytes.size() < size * 3 / 4) bytes += "Kormit 1.63 plays sound files of many kinds. ";
  for (const char byte : RandomBytes(size - bytes.size(), 23)) bytes += static_cast<char>(0x30 + (byte & 15));
  return bytes;
}

TEST(WriterCut, EveryCutAndThreadCountDecodesBackAtTheEdges) {
  TempFolder folder;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty.txt", ""},
      {"one.bin", "x"},
      {"block.bin", RandomBytes(kBlock, 22)},
      {"block1.bin", std::string(kBlock + 1, '\0')},
      {"changing.exe", Changing(4 * kBlock + 3)},
  };
  std::vector<PackSource> sources;
  for (const auto& [name, bytes] : files) {
    WriteFileBytes(folder / name, bytes);
    PackSource source;
    std::string error;
    ASSERT_TRUE(DescribePackFile(folder / name, source, error)) << error;
    sources.push_back(source);
  }
  std::string archives[2];
  for (const bool adaptive : {false, true}) {
    std::string byJobs[2];
    for (const int jobs : {1, 4}) {
      SCOPED_TRACE(testing::Message() << (adaptive ? "adaptive" : "fixed") << " cut, " << jobs << " jobs");
      PackOptions options;
      options.blockSize = kBlock;
      options.adaptive = adaptive;
      options.jobs = jobs;
      options.overwrite = true;
      PackSummary summary;
      std::string error;
      ASSERT_TRUE(WriteArchive(folder / "out.pak", sources, options, summary, error)) << error;
      const std::string archive = ReadFileBytes(folder / "out.pak");
      EXPECT_EQ(static_cast<int64_t>(archive.size()), summary.bytesOut);
      const std::vector<DecodedEntry> entries = Decode(archive);
      ASSERT_EQ(files.size(), entries.size());
      int64_t chunks = 0;
      for (size_t k = 0; k < files.size(); ++k) {
        SCOPED_TRACE(files[k].first);
        EXPECT_EQ(files[k].first, entries[k].name);
        EXPECT_TRUE(files[k].second == entries[k].bytes);
        const std::vector<int32_t>& pieces = entries[k].pieces;
        chunks += static_cast<int64_t>(pieces.size());
        EXPECT_GE(pieces.size(), (files[k].second.size() + kBlock - 1) / kBlock);
        for (size_t p = 0; p + 1 < pieces.size() && !adaptive; ++p) EXPECT_EQ(kBlock, pieces[p]);
        // Random bytes gain nothing from a cut: one piece of exactly the block size.
        if (files[k].first == "block.bin") {
          EXPECT_EQ(std::vector<int32_t>{kBlock}, pieces);
        }
      }
      EXPECT_EQ(summary.chunkCount, chunks);
      byJobs[jobs == 1 ? 0 : 1] = archive;
    }
    EXPECT_TRUE(byJobs[0] == byJobs[1]) << (adaptive ? "adaptive" : "fixed") << " cut differs between 1 and 4 jobs";
    archives[adaptive ? 1 : 0] = byJobs[0];
  }
  EXPECT_LT(archives[1].size(), archives[0].size()) << "the adaptive cut codes no smaller";
}

TEST(WriterCut, JobsOutsideTheRangeAreRefusedBeforeAnythingIsWritten) {
  TempFolder folder;
  WriteFileBytes(folder / "in.txt", "content");
  PackSource source;
  std::string error;
  ASSERT_TRUE(DescribePackFile(folder / "in.txt", source, error)) << error;
  for (const int jobs : {-1, kMaxJobs + 1}) {
    PackOptions options;
    options.jobs = jobs;
    PackSummary summary;
    EXPECT_FALSE(WriteArchive(folder / "out.pak", {source}, options, summary, error)) << jobs;
    EXPECT_NE(std::string::npos, error.find("jobs")) << error;
    EXPECT_FALSE(FileExists(folder / "out.pak"));
  }
}

}  // namespace
