#include "inspect/payload_integrity.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "archive/archive_format.h"
#include "archive/crc32.h"

namespace {

// The CRC-32 of the first `count` bytes, read a piece at a time.
bool CrcOfFirst(ArchiveBytes& bytes, uint32_t count, uint32_t& crc, std::string& error) {
  constexpr uint32_t kPiece = 1 << 20;
  std::vector<uint8_t> piece(std::min(count, kPiece));
  const Crc32 table;
  crc = 0;
  for (uint32_t at = 0; at < count;) {
    const uint32_t length = std::min(count - at, kPiece);
    if (!bytes.ReadAt(at, piece.data(), length)) {
      error = bytes.readError();
      return false;
    }
    crc = table.Update(crc, piece.data(), length);
    at += length;
  }
  return true;
}

}  // namespace

bool CheckIntegrity(ArchiveBytes& payload, const ArchiveContainer& container, IntegrityCheck& check,
                    std::string& readError) {
  check = IntegrityCheck();
  check.payloadBytes = payload.size();
  if (!container.installer) return true;
  if (!container.checked) {
    check.integrity = Integrity::kUnchecked;
    return true;
  }
  check.reading = ReadCheckRecord(container.checkRecord.data(), static_cast<uint32_t>(container.checkRecord.size()),
                                  payload.size());
  uint32_t crc = 0;
  if (check.reading.verdict == PayloadVerdict::kWhole) {
    if (!CrcOfFirst(payload, check.reading.covered, crc, readError)) return false;
    JudgePayloadCrc(check.reading, crc);
  }
  check.integrity = check.reading.verdict == PayloadVerdict::kWhole ? Integrity::kWhole : Integrity::kDamaged;
  return true;
}

bool MakePayloadCheckOf(ArchiveBytes& archive, uint8_t record[payload_check::kRecordLength], std::string& error) {
  uint8_t header[archive_format::kHeaderLength] = {};
  const uint32_t headerLength = std::min<uint32_t>(archive.size(), archive_format::kHeaderLength);
  if (!archive.ReadAt(0, header, headerLength)) {
    error = archive.readError();
    return false;
  }
  const uint32_t covered = PayloadCheckCoverage(header, archive.size());
  uint32_t crc = 0;
  if (!CrcOfFirst(archive, covered, crc, error)) return false;
  StorePayloadCheck(covered, crc, record);
  return true;
}

std::string CrcHex(uint32_t crc) {
  char text[12];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc));
  return text;
}

std::string CrcText(uint32_t crc) { return "CRC-32 " + CrcHex(crc); }

std::string IntegrityText(const IntegrityCheck& check) {
  switch (check.integrity) {
    case Integrity::kArchive:
      return "an archive carries no checksum: only its decoding was checked";
    case Integrity::kUnchecked:
      return "this installer carries no payload check (an earlier filepacker made it): only its decoding was checked, "
             "and the installer runs it unchecked";
    case Integrity::kWhole:
      return "payload check holds: " + CrcText(check.reading.computed) + " of " + std::to_string(check.reading.covered) +
             " bytes";
    case Integrity::kDamaged:
      break;
  }
  return DamageFault(check).cause;
}

ArchiveFault DamageFault(const IntegrityCheck& check) {
  const PayloadReading& reading = check.reading;
  ArchiveFault fault;
  fault.outcome = kPayloadDamagedText;
  switch (reading.verdict) {
    case PayloadVerdict::kMismatch:
      fault.code = RefusalCode::kPayloadDamaged;
      fault.cause = "the payload is damaged: its check record expects " + CrcText(reading.expected) + " of its first " +
                    std::to_string(reading.covered) + " bytes, which give " + CrcText(reading.computed);
      break;
    case PayloadVerdict::kShortPayload:
      fault.code = RefusalCode::kPayloadDamaged;
      fault.cause = "the payload is damaged: its check record covers " + std::to_string(reading.covered) +
                    " bytes, but the payload holds only " + std::to_string(check.payloadBytes);
      break;
    default:
      fault.code = RefusalCode::kCheckRecordDamaged;
      fault.cause = std::string("the payload's check record (the resource \"") + kPayloadCheckResourceName +
                    "\") is damaged: it is not " + std::to_string(payload_check::kRecordLength) +
                    " bytes beginning with \"" + payload_check::kTag + "\"";
      break;
  }
  return fault;
}
