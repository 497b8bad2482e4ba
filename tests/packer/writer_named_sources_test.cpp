// Files handed in as bytes (the web page's way): collected as the command
// collects the same files given as paths, and packed to the same archive
// as the files on disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/memory_store.h"
#include "packer/archive_writer.h"
#include "packer/pack_sources.h"
#include "tests/common/test_files.h"

namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

TEST(WriterNamedSources, CollectedAsTheCommandCollectsPaths) {
  const std::string one = "first", other = "second";
  const uint64_t time = 128000000000000000;
  // Each top-level name once, where first met; a folder's files in byte
  // order; a name given twice is the first file of that name.
  std::vector<PackSource> sources;
  Refusal refusal;
  ASSERT_TRUE(CollectNamedSources({{"b.txt", Bytes(one), time}, {"pkg/z", Bytes(one), time},
                                   {"a.txt", Bytes(one), time}, {"pkg/a", Bytes(one), time},
                                   {"b.txt", Bytes(other), time}},
                                  sources, refusal))
      << refusal.text;
  std::vector<std::string> paths, stored;
  for (const PackSource& source : sources) {
    paths.push_back(source.path);
    stored.push_back(source.storedName);
    EXPECT_EQ(0x20u, source.attributes);
    EXPECT_EQ(time, source.creationTime);
    EXPECT_EQ(time, source.lastAccessTime);
  }
  EXPECT_EQ((std::vector<std::string>{"b.txt", "pkg/a", "pkg/z", "a.txt"}), paths);
  EXPECT_EQ((std::vector<std::string>{"b.txt", "a", "z", "a.txt"}), stored);
  EXPECT_EQ(one, std::string(sources[0].bytes.begin(), sources[0].bytes.end()));

  EXPECT_FALSE(
      CollectNamedSources({{"pkg/a", Bytes(one), time}, {"pkg/sub/x", Bytes(one), time}}, sources, refusal));
  EXPECT_EQ("pkg/sub: is a folder inside pkg; the installer creates no subfolders", refusal.text);
  EXPECT_EQ(RefusalCode::kSubfolder, refusal.code);
  // A name Japanese Windows cannot hold, as its file on disk would be.
  EXPECT_FALSE(CollectNamedSources({{"\xF0\x9F\x98\x80.txt", Bytes(one), time}}, sources, refusal));
  EXPECT_EQ(RefusalCode::kNoCodePageForm, refusal.code) << refusal.text;
}

// Read from memory or from the disk, the same files pack to the same bytes,
// the adaptive cut's second reading included.
TEST(WriterNamedSources, PackLikeTheFilesOnDisk) {
  TempFolder folder;
  const std::string package = folder / "pkg";
  MakeFolder(package);
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Setup.exe", RandomBytes(70000, 3)}, {"notes.txt", std::string(90000, 'n') + RandomBytes(500, 4)}};
  std::vector<NamedFile> named;
  for (const auto& [name, bytes] : files) {
    WriteFileBytes(JoinPath(package, name), bytes);
    named.push_back({"pkg/" + name, Bytes(bytes), 0});
  }
  std::vector<PackSource> fromDisk, fromMemory;
  Refusal refusal;
  ASSERT_TRUE(CollectPackSources({package}, fromDisk, refusal)) << refusal.text;
  ASSERT_TRUE(CollectNamedSources(named, fromMemory, refusal)) << refusal.text;
  ASSERT_EQ(fromDisk.size(), fromMemory.size());
  for (size_t i = 0; i < fromDisk.size(); ++i) {
    EXPECT_EQ(fromDisk[i].storedName, fromMemory[i].storedName);
    // Only the reading differs.
    fromMemory[i].attributes = fromDisk[i].attributes;
    fromMemory[i].creationTime = fromDisk[i].creationTime;
    fromMemory[i].lastAccessTime = fromDisk[i].lastAccessTime;
    fromMemory[i].lastWriteTime = fromDisk[i].lastWriteTime;
  }
  PackOptions options;
  options.blockSize = 32768;
  options.adaptive = true;
  MemoryStore disk, memory;
  PackSummary summary;
  ASSERT_TRUE(PackInto("disk", fromDisk, options, disk, summary, refusal)) << refusal.text;
  ASSERT_TRUE(PackInto("memory", fromMemory, options, memory, summary, refusal)) << refusal.text;
  EXPECT_TRUE(disk.bytes() == memory.bytes());
}

}  // namespace
