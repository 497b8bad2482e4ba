// The writer's output, byte for byte: header, entries, chunk lists, end
// marker, and the pieces each chunk decodes to.
#include <gtest/gtest.h>

#include <cstring>
#include <span>

#include "archive/block_codec.h"
#include "base/little_endian.h"
#include "host/file_system.h"
#include "base/memory_store.h"
#include "packer/archive_writer.h"
#include "packer/block_encoder.h"
#include "tests/common/test_files.h"

namespace {

std::string LittleEndian(uint64_t value, int width) {
  uint8_t bytes[8];
  StoreUint64(bytes, value);
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(width));
}

std::string Encoded(const std::string& piece) {
  std::vector<uint8_t> block;
  EXPECT_TRUE(EncodeBlock(std::span(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()), block));
  return std::string(block.begin(), block.end());
}

PackSource Source(const std::string& path, const std::string& name, int64_t size, uint32_t attributes,
                  uint64_t firstTime) {
  PackSource source;
  source.path = path;
  source.storedName = name;
  source.size = size;
  source.attributes = attributes;
  source.creationTime = firstTime;
  source.lastAccessTime = firstTime + 1;
  source.lastWriteTime = firstTime + 0x0102030405060708ull;
  IdentifyFile(path, source.identity);  // the file as it is: packing checks it is still that one
  return source;
}

std::string EntryHead(const PackSource& source) {
  return std::string(1, static_cast<char>(source.storedName.size())) + source.storedName +
         LittleEndian(source.size, 4) + LittleEndian(source.attributes, 4) + LittleEndian(source.creationTime, 8) +
         LittleEndian(source.lastAccessTime, 8) + LittleEndian(source.lastWriteTime, 8);
}

TEST(WriterLayout, SmallArchiveIsExactlyTheFormat) {
  TempFolder folder;
  const std::string text = "Hello, Kormit. Hello, Kormit. Hello, Kormit.\n";
  WriteFileBytes(folder / "a.txt", text);
  WriteFileBytes(folder / "empty", "");
  std::vector<PackSource> sources = {
      Source(folder / "a.txt", Cp932JapaneseName(), static_cast<int64_t>(text.size()), 0x21, 0x01C4C9D75E25E070ull),
      Source(folder / "empty", "EMPTY.DAT", 0, 0x20, 0x01C9065C5FE7CCADull)};

  PackSummary summary;
  std::string error;
  ASSERT_TRUE(WriteArchive(folder / "out.pak", sources, PackOptions(), summary, error)) << error;

  std::string chunk = Encoded(text);
  std::string body = std::string("QVL-2000") + LittleEndian(200000, 4) + EntryHead(sources[0]) +
                     LittleEndian(chunk.size(), 4) + chunk + LittleEndian(0, 4) + EntryHead(sources[1]) +
                     LittleEndian(0, 4) + std::string(1, '\0');
  std::string expected = std::string("FILE_PACKER 1.00") + "/***" + LittleEndian(body.size(), 4) + body;
  EXPECT_EQ(expected, ReadFileBytes(folder / "out.pak"));
  EXPECT_EQ(2, summary.fileCount);
  EXPECT_EQ(static_cast<int64_t>(text.size()), summary.bytesIn);
  EXPECT_EQ(static_cast<int64_t>(expected.size()), summary.bytesOut);

  // `installer` packs into a sink of its own: the same bytes, the size
  // field included.
  MemoryStore sink;
  PackSummary sinkSummary;
  Refusal refusal;
  ASSERT_TRUE(PackInto("payload", sources, PackOptions(), sink, sinkSummary, refusal)) << refusal.text;
  EXPECT_EQ(expected, std::string(sink.bytes().begin(), sink.bytes().end()));
  EXPECT_EQ(summary.bytesOut, sinkSummary.bytesOut);

  // A lower limit stops the writing where the archive would pass it, and
  // says how far it got.
  PackOptions limited;
  limited.maxLength = static_cast<int64_t>(expected.size()) - 1;
  limited.limitText = "too large for the test";
  EXPECT_FALSE(WriteArchive(folder / "limited.pak", sources, limited, summary, error));
  EXPECT_EQ((folder / "limited.pak") + ": too large for the test; stopped after 1 of 2 files, " +
                std::to_string(text.size()) + " of " + std::to_string(text.size()) + " bytes packed",
            error);
  // Into a sink of the caller's, the same words, told apart by their code.
  MemoryStore limitedSink;
  EXPECT_FALSE(PackInto("limited", sources, limited, limitedSink, sinkSummary, refusal));
  EXPECT_EQ(RefusalCode::kTooLarge, refusal.code);
  EXPECT_EQ(0u, refusal.text.find("limited: too large for the test; stopped after 1 of 2 files")) << refusal.text;
}

// A file of almost three blocks becomes three chunks that decode, in place as the
// extractor does, to the file's pieces in order; the chunk list ends there.
TEST(WriterLayout, FileIsCutIntoBlockSizedChunks) {
  TempFolder folder;
  const int32_t blockSize = 1024;
  const std::string data = RandomBytes(2 * blockSize + 452, 7) + std::string(300, 'x');
  WriteFileBytes(folder / "data.bin", data);
  std::vector<PackSource> sources = {
      Source(folder / "data.bin", "data.bin", static_cast<int64_t>(data.size()), 0x20, 1)};
  PackOptions options;
  options.blockSize = blockSize;
  PackSummary summary;
  std::string error;
  ASSERT_TRUE(WriteArchive(folder / "out.pak", sources, options, summary, error)) << error;

  std::string archive = ReadFileBytes(folder / "out.pak");
  size_t at = 36 + EntryHead(sources[0]).size();
  std::string joined;
  std::vector<uint8_t> buffer(blockSize + 512);
  BlockCodec codec;
  int chunks = 0;
  for (;;) {
    ASSERT_LE(at + 4, archive.size());
    int32_t length;
    std::memcpy(&length, archive.data() + at, 4);
    at += 4;
    if (length == 0) break;
    ASSERT_LE(length, blockSize + 16);
    std::memcpy(buffer.data(), archive.data() + at, length);
    at += length;
    int32_t decoded = codec.Decode(buffer.data(), length, blockSize + 16);
    ASSERT_GT(decoded, 0);
    size_t pieceLength = std::min<size_t>(blockSize, data.size() - joined.size());
    EXPECT_EQ(static_cast<int32_t>(pieceLength), decoded) << "chunk " << chunks;
    joined.append(reinterpret_cast<const char*>(buffer.data()), decoded);
    chunks++;
  }
  EXPECT_EQ(3, chunks);
  EXPECT_EQ(data, joined);
  EXPECT_EQ(at + 1, archive.size());
  EXPECT_EQ('\0', archive.back());
}

}  // namespace
