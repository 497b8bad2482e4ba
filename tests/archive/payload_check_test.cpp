// The payload check: our CRC-32 beside zlib's, and what the check record
// makes of whole, damaged and short payloads.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <vector>

#include "archive/crc32.h"
#include "base/little_endian.h"
#include "archive/payload_check.h"

namespace {

std::vector<uint8_t> NoiseBytes(size_t length) {
  std::vector<uint8_t> bytes(length);
  uint32_t state = 12345;
  for (uint8_t& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<uint8_t>(state >> 16);
  }
  return bytes;
}

uint32_t ZlibCrc(const uint8_t* data, size_t length) {
  return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(length)));
}

TEST(PayloadCheck, Crc32AgreesWithZlib) {
  const std::vector<uint8_t> bytes = NoiseBytes(300000);
  const Crc32 crc;
  // Every length around the braided path's start and its strides, at every
  // alignment of a word.
  for (size_t offset = 0; offset < 8; offset++) {
    for (size_t length = 0; length < 130; length++) {
      ASSERT_EQ(ZlibCrc(bytes.data() + offset, length), crc.Update(0, bytes.data() + offset, length))
          << "offset " << offset << ", length " << length;
    }
  }
  const uint32_t whole = ZlibCrc(bytes.data(), bytes.size());
  EXPECT_EQ(whole, crc.Update(0, bytes.data(), bytes.size()));
  // Carried on in pieces of every kind of length.
  uint32_t pieces = 0;
  size_t at = 0;
  for (size_t length : {1, 39, 40, 41, 3, 100000, 7, 199869}) {
    pieces = crc.Update(pieces, bytes.data() + at, length);
    at += length;
  }
  ASSERT_EQ(bytes.size(), at);
  EXPECT_EQ(whole, pieces);
}

TEST(PayloadCheck, RecordCoversTheContainerAndJudgesThePayload) {
  // A container of 100 bytes (size field 76) with 20 bytes after it, which
  // nothing reads and the check leaves out.
  std::vector<uint8_t> payload = NoiseBytes(120);
  std::memcpy(payload.data(), "FILE_PACKER 1.00/***", 20);
  StoreUint32(payload.data() + 20, 76);
  uint8_t record[payload_check::kRecordLength];
  MakePayloadCheck(payload.data(), static_cast<uint32_t>(payload.size()), record);
  EXPECT_EQ(0, std::memcmp(record, "KCRC", 4));
  EXPECT_EQ(100u, LoadUint32(record + 4));
  EXPECT_EQ(ZlibCrc(payload.data(), 100), LoadUint32(record + 8));

  struct Case {
    const char* what;
    size_t payloadFlip;  // bit flipped in the payload (SIZE_MAX: none)
    size_t recordFlip;   // in the record
    uint32_t payloadLength;
    uint32_t recordLength;
    PayloadVerdict verdict;
  };
  const size_t kNone = SIZE_MAX;
  const Case cases[] = {
      {"whole", kNone, kNone, 120, 12, PayloadVerdict::kWhole},
      {"damage after the container", 8 * 110, kNone, 120, 12, PayloadVerdict::kWhole},
      {"the payload cut to the container", kNone, kNone, 100, 12, PayloadVerdict::kWhole},
      {"a bit of the magic", 3, kNone, 120, 12, PayloadVerdict::kMismatch},
      {"a bit of the size field", 8 * 20 + 1, kNone, 120, 12, PayloadVerdict::kMismatch},
      {"the container's last bit", 8 * 99 + 7, kNone, 120, 12, PayloadVerdict::kMismatch},
      {"a bit of the record's CRC", kNone, 8 * 8, 120, 12, PayloadVerdict::kMismatch},
      {"a bit of the record's length", kNone, 8 * 4 + 1, 120, 12, PayloadVerdict::kMismatch},
      {"the record's tag", kNone, 2, 120, 12, PayloadVerdict::kBadRecord},
      {"a record cut short", kNone, kNone, 120, 11, PayloadVerdict::kBadRecord},
      {"a payload shorter than the container", kNone, kNone, 99, 12, PayloadVerdict::kShortPayload},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> damaged = payload;
    uint8_t badRecord[payload_check::kRecordLength];
    std::memcpy(badRecord, record, sizeof record);
    if (c.payloadFlip != kNone) damaged[c.payloadFlip / 8] ^= static_cast<uint8_t>(1u << (c.payloadFlip % 8));
    if (c.recordFlip != kNone) badRecord[c.recordFlip / 8] ^= static_cast<uint8_t>(1u << (c.recordFlip % 8));
    const PayloadReading reading = ReadPayloadCheck(damaged.data(), c.payloadLength, badRecord, c.recordLength);
    EXPECT_EQ(c.verdict, reading.verdict) << c.what;
    if (c.verdict == PayloadVerdict::kMismatch || c.verdict == PayloadVerdict::kWhole) {
      EXPECT_EQ(LoadUint32(badRecord + 8), reading.expected) << c.what;
      EXPECT_EQ(ZlibCrc(damaged.data(), reading.covered), reading.computed) << c.what;
    }
  }
}

}  // namespace
