// The forward reader under list and test, in process: one tiny archive per
// fault it can report, with the place it must name; and the promise that no
// bytes at all make it read outside the file.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>

#include "packer/block_encoder.h"
#include "tests/packer/writer_test_files.h"
#include "tools/filepacker/archive_scan.h"

namespace {

std::string Le32(int64_t value) {
  std::string bytes;
  for (int i = 0; i < 4; i++) bytes += static_cast<char>(static_cast<uint64_t>(value) >> (8 * i));
  return bytes;
}

std::string Block(const std::string& piece) {
  std::vector<uint8_t> out;
  EncodeBlock(std::span(reinterpret_cast<const uint8_t*>(piece.data()), piece.size()), out);
  return std::string(out.begin(), out.end());
}

constexpr int64_t kComputed = INT64_MIN;

// Header with the given size field (by default the right one), block size
// and body.
std::string Archive(const std::string& body, int32_t blockSize = 1024, int64_t size = kComputed,
                    const std::string& tag = "/***", const std::string& signature = "QVL-2000") {
  std::string afterSize = signature + Le32(blockSize) + body;
  return "FILE_PACKER 1.00" + tag + Le32(size == kComputed ? static_cast<int64_t>(afterSize.size()) : size) + afterSize;
}

std::string Entry(const std::string& name, int32_t size) {
  return std::string(1, static_cast<char>(name.size())) + name + Le32(size) + std::string(28, '\0');
}

bool Scan(const std::string& bytes, bool decode, ScannedArchive& archive) {
  return ScanArchive(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), decode, archive);
}

struct FaultCase {
  const char* why;
  std::string archive;
  const char* mentions;
  int entry, chunk;
  int64_t offset;
};

TEST(ArchiveScan, EachFaultIsNamedWithItsPlace) {
  const std::string piece = "abcabcabcabcabcabc";
  const std::string chunk = Block(piece);
  const std::string good = Entry("a.txt", static_cast<int32_t>(piece.size())) + Le32(chunk.size()) + chunk + Le32(0);
  const int64_t firstChunk = 36 + 1 + 5 + 32;
  const FaultCase cases[] = {
      {"short header", "FILE_PACKER 1.00", "header", -1, -1, 0},
      {"wrong magic", "FILE_PACKER 2.00/***" + Le32(13) + "QVL-2000" + Le32(1024) + std::string(1, '\0'), "magic", -1, -1, 0},
      {"size 0", Archive(std::string(1, '\0'), 1024, 0), "size field 0", -1, -1, 20},
      {"size negative", Archive(std::string(1, '\0'), 1024, -5), "size field -5", -1, -1, 20},
      {"coded", Archive(std::string(1, '\0'), 1024, kComputed, "ABCD"), "coded", -1, -1, 16},
      {"wrong signature", Archive(std::string(1, '\0'), 1024, kComputed, "/***", "QVL-1999"), "signature", -1, -1, 24},
      {"block size 1023", Archive(std::string(1, '\0'), 1023), "1023", -1, -1, 32},
      {"block size 4000001", Archive(std::string(1, '\0'), 4000001), "4000001", -1, -1, 32},
      {"no entries", Archive(std::string(1, '\0')), "no bytes", -1, -1, 36},
      {"no end marker", Archive(good), "end-of-list", 1, -1, static_cast<int64_t>(36 + good.size())},
      {"size field stops short of the marker", Archive(good + std::string(1, '\0'), 1024, 12 + good.size()),
       "container (size field)", 1, -1, static_cast<int64_t>(36 + good.size())},
      {"chunk of block size + 17", Archive(Entry("a.txt", 5) + Le32(1024 + 17) + std::string(1041, 'x')),
       "above block size + 16", 0, 0, firstChunk},
      {"chunk data cut off", Archive(Entry("a.txt", 5) + Le32(100) + "xyz"), "chunk data", 0, 0, firstChunk + 4},
      {"chunk does not decode", Archive(Entry("a.txt", 5) + Le32(6) + "\xFF\xFF\xFF\x7F\0\0" + Le32(0) + '\0'),
       "does not decode", 0, 0, firstChunk},
      {"chunks end early", Archive(Entry("a.txt", 19) + Le32(chunk.size()) + chunk + Le32(0) + '\0'),
       "end 1 bytes before", 0, 1, static_cast<int64_t>(firstChunk + 4 + chunk.size())},
      {"chunk decodes past the size", Archive(Entry("a.txt", 17) + Le32(chunk.size()) + chunk + Le32(0) + '\0'),
       "1 bytes past", 0, 0, firstChunk},
      {"negative size", Archive(Entry("a.txt", -1) + Le32(0) + '\0'), "negative", 0, -1, 36 + 1 + 5},
      {"only empty entries", Archive(Entry("a.txt", 0) + Le32(-7) + '\0'), "no bytes", -1, -1, firstChunk + 4},
  };
  for (const FaultCase& c : cases) {
    ScannedArchive archive;
    EXPECT_FALSE(Scan(c.archive, true, archive)) << c.why;
    EXPECT_NE(std::string::npos, archive.fault.what.find(c.mentions)) << c.why << ": " << archive.fault.what;
    EXPECT_EQ(c.entry, archive.fault.entry) << c.why;
    EXPECT_EQ(c.chunk, archive.fault.chunk) << c.why;
    EXPECT_EQ(c.offset, archive.fault.offset) << c.why;
  }
}

TEST(ArchiveScan, LimitsOfTheFormatAreAccepted) {
  const std::string piece(1024, 'q');
  std::string chunk = Block(piece);
  // Padding after the coded bytes stays unread, so a chunk of exactly block
  // size + 16 reaches the codec.
  std::string padded = chunk + std::string(1024 + 16 - chunk.size(), '\0');
  const std::string body = Entry("a", 1024) + Le32(padded.size()) + padded + Le32(-1) + Entry("b", 0) + Le32(0) + '\0';
  for (int32_t blockSize : {1024, 4000000}) {
    ScannedArchive archive;
    std::string bytes = Archive(body, blockSize);
    ASSERT_TRUE(Scan(bytes + "trailing", true, archive)) << blockSize << ": " << archive.fault.what;
    ASSERT_EQ(2u, archive.entries.size());
    EXPECT_EQ(1040, archive.entries[0].chunks[0].length);
    EXPECT_EQ(1024, archive.entries[0].chunks[0].decodedLength);
    EXPECT_EQ(0u, archive.entries[1].chunks.size());
    EXPECT_EQ(8, archive.trailingBytes);
  }
}

TEST(ArchiveScan, RefusedAndDuplicateNamesAreFlaggedWithoutStopping) {
  const std::string chunk = Block("xy");
  std::string body;
  for (const char* name : {"ok.txt", "..", "CON.log", "a?b", "OK.TXT", "ソ.txt"}) {
    body += Entry(name, 2) + Le32(chunk.size()) + chunk + Le32(0);
  }
  ScannedArchive archive;
  ASSERT_TRUE(Scan(Archive(body + '\0'), true, archive)) << archive.fault.what;
  ASSERT_EQ(6u, archive.entries.size());
  const bool refused[] = {false, true, true, true, true, false};
  for (size_t i = 0; i < 6; i++) EXPECT_EQ(refused[i], !archive.entries[i].refusal.empty()) << i;
  EXPECT_NE(std::string::npos, archive.entries[4].refusal.find("same name"));
}

// Every prefix of a good archive fails inside the prefix; random changes
// may fail anywhere but never read outside the bytes (the asan build checks
// that), and what is accepted adds up.
TEST(ArchiveScan, AnyBytesAreSafe) {
  std::string body;
  const std::string data = RandomBytes(3000, 11) + std::string(2000, 'z');
  for (int e = 0; e < 2; e++) {
    body += Entry(e == 0 ? "one.bin" : "two.bin", static_cast<int32_t>(data.size()));
    for (size_t at = 0; at < data.size(); at += 1024) {
      std::string chunk = Block(data.substr(at, 1024));
      body += Le32(chunk.size()) + chunk;
    }
    body += Le32(0);
  }
  const std::string good = Archive(body + '\0');
  ScannedArchive archive;
  ASSERT_TRUE(Scan(good, true, archive)) << archive.fault.what;

  for (size_t length = 0; length < good.size(); length++) {
    std::vector<uint8_t> prefix(good.begin(), good.begin() + length);  // exact size, for asan
    ASSERT_FALSE(ScanArchive(prefix, true, archive)) << length;
    EXPECT_LE(archive.fault.offset, static_cast<int64_t>(length)) << length;
  }
  uint32_t state = 12345;
  for (int round = 0; round < 3000; round++) {
    std::vector<uint8_t> bytes(good.begin(), good.end());
    for (int flips = 0; flips < 1 + round % 4; flips++) {
      state = state * 1103515245 + 12345;
      bytes[(state >> 8) % bytes.size()] ^= static_cast<uint8_t>(1 + (state >> 24) % 255);
    }
    if (ScanArchive(bytes, true, archive)) {
      for (const ScannedEntry& entry : archive.entries) {
        int64_t decoded = 0;
        for (const ScannedChunk& chunk : entry.chunks) decoded += chunk.decodedLength;
        EXPECT_EQ(entry.size, decoded) << "round " << round;
      }
    }
  }
}

}  // namespace
