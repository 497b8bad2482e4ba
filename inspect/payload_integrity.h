// Whether an installer's payload is whole, as the installer judges it at
// start-up before it asks anything: by the check record beside the payload.
// Bare archives have no room for one.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "inspect/archive_file.h"
#include "inspect/extraction_watch.h"
#include "archive/payload_check.h"

enum class Integrity {
  kArchive,    // a bare archive: nothing to check but its decoding
  kUnchecked,  // an installer without a check record: it runs unchecked
  kWhole,
  kDamaged,  // the installer refuses it before asking anything
};

struct IntegrityCheck {
  Integrity integrity = Integrity::kArchive;
  PayloadReading reading;  // for an installer with a record
  uint32_t payloadBytes = 0;
};

// The payload is read in pieces: false, with the read error, when it
// cannot be.
bool CheckIntegrity(ArchiveBytes& payload, const ArchiveContainer& container, IntegrityCheck& check,
                    std::string& readError);

// The check record that an installer carries beside the archive
// (MakePayloadCheck's), the archive read in pieces. False, with the read
// error, when it cannot be read.
bool MakePayloadCheckOf(ArchiveBytes& archive, uint8_t record[payload_check::kRecordLength], std::string& error);

// "1a2b3c4d": a CRC in the lower-case hexadecimal that tools print; and
// "CRC-32 1a2b3c4d" for a sentence.
std::string CrcHex(uint32_t crc);
std::string CrcText(uint32_t crc);

// One line for people: what was checked and what it gave.
std::string IntegrityText(const IntegrityCheck& check);

// For a damaged payload: the fault that test and extract report, with the
// installer's own text as its outcome.
ArchiveFault DamageFault(const IntegrityCheck& check);
