// One codec serves a whole extraction and keeps its room from chunk to
// chunk: a file cut into many small chunks of the packer's encoder (both run
// stage forms, tiny and large chunks mixed) extracts to the same bytes and
// report as the same file in one chunk of the block size, and a damaged
// chunk among them still fails where it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>

#include "packer/block_encoder.h"
#include "tests/archive/extract_test_support.h"

namespace archive_test {
namespace {

constexpr int32_t kBlockSize = 65536;

// Text, runs and noise: chunks of it take the stored and the run form.
std::string Content() {
  std::string content;
  uint32_t noise = 12345;
  while (content.size() < kBlockSize) {
    content += "Kormit 1.63 plays sound files of many kinds. ";
    content.append(40 + content.size() % 300, '\0');
    for (int i = 0; i < 200; ++i) {
      noise = noise * 1103515245 + 12345;
      content += static_cast<char>(noise >> 24);
    }
  }
  content.resize(kBlockSize);
  return content;
}

Bytes Encoded(const std::string& piece) {
  Bytes coded;
  EXPECT_TRUE(EncodeBlock(std::span(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()), coded));
  return coded;
}

// The content as chunks of the given sizes in turn, the last one taking
// what is left.
ArchiveBuilder& ChunkedFile(ArchiveBuilder& builder, const std::string& name, const std::string& content,
                            std::initializer_list<size_t> sizes) {
  builder.Entry(name, static_cast<int32_t>(content.size()));
  size_t at = 0;
  for (auto size = sizes.begin(); at < content.size(); ++size) {
    if (size == sizes.end()) size = sizes.begin();
    const size_t take = std::min(*size, content.size() - at);
    builder.Chunk(Encoded(content.substr(at, take)));
    at += take;
  }
  return builder.Length(0);
}

TEST(ExtractChunking, ManySmallChunksGiveWhatOneChunkOfTheBlockSizeGives) {
  const std::string content = Content();
  ArchiveBuilder whole(kBlockSize);
  whole.Entry("data.bin", kBlockSize).Chunk(Encoded(content)).Length(0);
  ArchiveBuilder small(kBlockSize);
  ChunkedFile(small, "data.bin", content, {1, 700, 13, 2500, 90, 1200});
  ArchiveBuilder mixed(kBlockSize);
  ChunkedFile(mixed, "data.bin", content, {3, 30000, 5, 9000});

  PackReader reader;  // one extractor for all, as the installer has
  for (const Bytes& archive : {whole.Build(), small.Build(), mixed.Build(), whole.Build()}) {
    TempFolder folder;
    const Extracted out = ExtractArchive(archive, folder.path(), &reader);
    EXPECT_EQ(1, out.result);
    EXPECT_STREQ("解凍完了！ ファイル数:1", out.report.message);
    EXPECT_EQ(static_cast<int32_t>(archive.size()), out.report.byteTotal);
    EXPECT_TRUE(content == Contents(folder / "data.bin"));
  }
}

TEST(ExtractChunking, DamagedSmallChunkAfterLargeOnesFailsThere) {
  const std::string content = Content();
  Bytes damaged = Encoded(content.substr(40000, 100));
  Bytes field;
  PutInt32(field, kBlockSize + 17);  // decodes to more than the capacity
  std::copy(field.begin(), field.end(), damaged.begin());
  ArchiveBuilder builder(kBlockSize);
  builder.Entry("data.bin", 40100).Chunk(Encoded(content.substr(0, 40000))).Chunk(damaged).Length(0);
  TempFolder folder;
  const Extracted out = ExtractArchive(builder.Build(), folder.path());
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("解凍エラー！ data.bin", out.report.message);
  EXPECT_TRUE(content.substr(0, 40000) == Contents(folder / "data.bin"));
}

}  // namespace
}  // namespace archive_test
