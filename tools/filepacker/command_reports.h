// What list, test and extract make of an archive, in memory or read in
// pieces from its file, and the
// objects their --json prints: the commands print them, and the
// WebAssembly engine (tools/web/) hands the same objects to JavaScript.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "inspect/archive_file.h"
#include "inspect/extraction_watch.h"
#include "inspect/payload_integrity.h"

struct ListTotals {
  int64_t size = 0;
  int64_t packed = 0;
  int64_t chunks = 0;
  int refused = 0;
};

// The entries' sizes, packed sizes and chunks added up, and how many names
// the install folder would refuse.
ListTotals AddUpEntries(const ArchiveWalk& walk);

struct ArchiveListing {
  IntegrityCheck check;
  ArchiveWalk walk;
  ListTotals totals;

  // Whether list fails: the walk stopped, or the installer would refuse
  // the payload at start-up.
  bool Refused() const { return !walk.ok || check.integrity == Integrity::kDamaged; }
};

// The walk of `list`: every entry, even past a damaged payload (for what it
// shows of the damage).
ArchiveListing ListArchive(ArchiveBytes& bytes, const ArchiveContainer& container);
nlohmann::json ListJson(const ArchiveListing& listing, const ArchiveContainer& container);
// Its parts, for a printer that writes the entries one at a time: all but
// "entries", and one entry.
nlohmann::json ListHeadJson(const ArchiveListing& listing, const ArchiveContainer& container);
nlohmann::json ListEntryJson(const WalkedEntry& entry, int32_t blockSize);

// The walk of `test`: a damaged payload is refused before any of it is read,
// as the installer does at start-up.
ArchiveWalk TestArchive(ArchiveBytes& bytes, const ArchiveContainer& container, IntegrityCheck& check);
nlohmann::json TestJson(const ArchiveWalk& walk, const IntegrityCheck& check);

// The extraction of `extract` into files, the command's on disk or the web
// module's in memory (target: the folder, without a trailing separator,
// that names are created behind), through the install folder's rules
// (ExtractArchiveInto): refused before a file is made when the payload is
// damaged or its size field claims more than it holds. sinkFailure is where
// files leaves why a create or write failed.
ArchiveWalk ExtractArchive(ArchiveBytes& bytes, const ArchiveContainer& container, const std::string& target,
                           FileSink& files, const std::string& sinkFailure);
nlohmann::json ExtractJson(const ArchiveWalk& walk);
