#include "archive/payload_check.h"

#include <cstring>

#include "archive/archive_format.h"
#include "archive/crc32.h"
#include "base/little_endian.h"

using namespace payload_check;

const char kPayloadDamagedText[] = KORMIT_FILE_DAMAGED_LINE "Kormit Ver 1.63 の解凍を中止します。";

uint32_t PayloadCheckCoverage(const uint8_t* header, uint32_t length) {
  uint32_t covered = length;
  if (length >= static_cast<uint32_t>(archive_format::kHeaderLength)) {
    const int64_t container =
        int64_t{LoadInt32(header + archive_format::kSizeFieldOffset)} + archive_format::kSizeFieldEnd;
    if (container > 0 && container < covered) covered = static_cast<uint32_t>(container);
  }
  return covered;
}

void StorePayloadCheck(uint32_t covered, uint32_t crc, uint8_t record[kRecordLength]) {
  std::memcpy(record + kTagOffset, kTag, 4);
  StoreUint32(record + kCoveredOffset, covered);
  StoreUint32(record + kCrcOffset, crc);
}

void MakePayloadCheck(const uint8_t* archive, uint32_t length, uint8_t record[kRecordLength]) {
  const uint32_t covered = PayloadCheckCoverage(archive, length);
  const Crc32 crc;
  StorePayloadCheck(covered, crc.Update(0, archive, covered), record);
}

PayloadReading ReadCheckRecord(const uint8_t* record, uint32_t recordLength, uint32_t payloadLength) {
  PayloadReading reading;
  const uint8_t* tag = reinterpret_cast<const uint8_t*>(kTag);
  if (recordLength != kRecordLength || LoadUint32(record + kTagOffset) != LoadUint32(tag)) return reading;
  reading.covered = LoadUint32(record + kCoveredOffset);
  reading.expected = LoadUint32(record + kCrcOffset);
  reading.verdict = reading.covered > payloadLength ? PayloadVerdict::kShortPayload : PayloadVerdict::kWhole;
  return reading;
}

void JudgePayloadCrc(PayloadReading& reading, uint32_t computed) {
  reading.computed = computed;
  reading.verdict = computed == reading.expected ? PayloadVerdict::kWhole : PayloadVerdict::kMismatch;
}

PayloadReading ReadPayloadCheck(const uint8_t* payload, uint32_t payloadLength, const uint8_t* record,
                                uint32_t recordLength) {
  PayloadReading reading = ReadCheckRecord(record, recordLength, payloadLength);
  if (reading.verdict != PayloadVerdict::kWhole) return reading;
  const Crc32 crc;
  JudgePayloadCrc(reading, crc.Update(0, payload, reading.covered));
  return reading;
}
