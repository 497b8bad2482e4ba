// The payload check: a record that filepacker puts beside the archive that
// an installer carries, so that the installer, and filepacker reading an
// installer, can tell a damaged payload from a whole one before reading it.
// The archive format has no checksum of its own (and keeps none, so that
// every archive stays as it was), and a damaged Huffman chunk mostly still
// decodes to its length, with some bytes wrong.
//
// The record is the resource "KORMITCRC" of type "FILESPACK", language
// 1041, beside the payload "KORMIT" (pe/payload_resource.h). 12 bytes,
// little-endian:
//
//   offset  length  field
//        0       4  tag "KCRC"
//        4       4  covered: how many of the payload's first bytes the CRC
//                   covers: the archive's 24 + size, its container
//        8       4  CRC-32 of those bytes (zlib's crc32(), archive/crc32.h)
//
// An installer without the record (made before it existed, or by hand)
// runs unchecked, as it always did. A record that is not 12 bytes with the
// tag, or covers more than the payload holds, is damage like a wrong CRC.
#pragma once

#include <cstdint>

namespace payload_check {

inline constexpr char kTag[] = "KCRC";
inline constexpr uint32_t kRecordLength = 12;
inline constexpr int kTagOffset = 0;
inline constexpr int kCoveredOffset = 4;
inline constexpr int kCrcOffset = 8;

}  // namespace payload_check

// The record for an archive of `length` bytes: it covers the archive's
// container (24 + its size field, as far as the bytes reach).
void MakePayloadCheck(const uint8_t* archive, uint32_t length, uint8_t record[payload_check::kRecordLength]);

enum class PayloadVerdict {
  kWhole,
  kBadRecord,     // not 12 bytes, or without the tag
  kShortPayload,  // covers more bytes than the payload holds
  kMismatch,      // the CRC of the covered bytes differs
};

struct PayloadReading {
  PayloadVerdict verdict = PayloadVerdict::kBadRecord;
  uint32_t covered = 0;   // as the record says, once its tag is read
  uint32_t expected = 0;  // the record's CRC
  uint32_t computed = 0;  // of the covered bytes, when they are there
};

// What the installer says when the check fails, and filepacker with it:
// the file is damaged, and the extraction is abandoned. Its second line is
// the installer's plain stop message, which it shows on its own elsewhere.
#define KORMIT_FILE_DAMAGED_LINE "ファイルが壊れています。\n"
extern const char kPayloadDamagedText[];
// The bytes of its first line with the line break, after which the stop
// message stands alone.
inline constexpr int kDamagedLineLength = sizeof KORMIT_FILE_DAMAGED_LINE - 1;

// The same in steps, for a payload read in pieces: the bytes the record
// covers of an archive of `length` bytes, judged by its header (`header`
// holds the first min(length, 32) of them), and the record for their CRC.
uint32_t PayloadCheckCoverage(const uint8_t* header, uint32_t length);
void StorePayloadCheck(uint32_t covered, uint32_t crc, uint8_t record[payload_check::kRecordLength]);
// The record read against a payload of payloadLength bytes: kBadRecord or
// kShortPayload, or kWhole while the CRC of its covered bytes is still to
// be judged (JudgePayloadCrc).
PayloadReading ReadCheckRecord(const uint8_t* record, uint32_t recordLength, uint32_t payloadLength);
void JudgePayloadCrc(PayloadReading& reading, uint32_t computed);

// Checks the payload against its record.
PayloadReading ReadPayloadCheck(const uint8_t* payload, uint32_t payloadLength, const uint8_t* record,
                                uint32_t recordLength);
