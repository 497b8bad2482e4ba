// The objects that list, test and extract --json print of their answers
// (engine/requests.h): the commands print them, and the
// WebAssembly engine (tools/web/) hands the same objects to JavaScript.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/requests.h"

nlohmann::json ListJson(const ListResult& listing, const ArchiveContainer& container);
// Its parts, for a printer that writes the entries one at a time: all but
// "entries", and one entry.
nlohmann::json ListHeadJson(const ListResult& listing, const ArchiveContainer& container);
nlohmann::json ListEntryJson(const WalkedEntry& entry, int32_t blockSize);

nlohmann::json TestJson(const ArchiveWalk& walk, const IntegrityCheck& check);

nlohmann::json ExtractJson(const ArchiveWalk& walk);

// What `installer --json` prints of the installer made, but "ok".
nlohmann::json InstallerJson(const InstallerResult& made);
