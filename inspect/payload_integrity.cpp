#include "inspect/payload_integrity.h"

#include <cstdio>

IntegrityCheck CheckIntegrity(std::span<const uint8_t> payload, const ArchiveContainer& container) {
  IntegrityCheck check;
  check.payloadBytes = static_cast<uint32_t>(payload.size());
  if (!container.installer) return check;
  if (!container.checked) {
    check.integrity = Integrity::kUnchecked;
    return check;
  }
  check.reading = ReadPayloadCheck(payload.data(), static_cast<uint32_t>(payload.size()), container.checkRecord.data(),
                                   static_cast<uint32_t>(container.checkRecord.size()));
  check.integrity = check.reading.verdict == PayloadVerdict::kWhole ? Integrity::kWhole : Integrity::kDamaged;
  return check;
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
      fault.cause = "the payload is damaged: its check record expects " + CrcText(reading.expected) + " of its first " +
                    std::to_string(reading.covered) + " bytes, which give " + CrcText(reading.computed);
      break;
    case PayloadVerdict::kShortPayload:
      fault.cause = "the payload is damaged: its check record covers " + std::to_string(reading.covered) +
                    " bytes, but the payload holds only " + std::to_string(check.payloadBytes);
      break;
    default:
      fault.cause = std::string("the payload's check record (the resource \"") + kPayloadCheckResourceName +
                    "\") is damaged: it is not " + std::to_string(payload_check::kRecordLength) +
                    " bytes beginning with \"" + payload_check::kTag + "\"";
      break;
  }
  return fault;
}
