// What `list` and `test` share: loading and scanning an archive, and the
// description of a fault with its place.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/filepacker/archive_file.h"
#include "tools/filepacker/archive_scan.h"

// Loads and scans the archive (or an installer's payload); on a load
// failure prints the error and sets status to the exit status to return.
// True when the scan ran (which says nothing about archive.ok).
bool LoadAndScan(const std::string& path, bool decode, ScannedArchive& archive, int& status,
                 ArchiveContainer* container = nullptr);

// "entry \"name\", chunk 2, offset 1234: what" (console encoding).
std::string FaultText(const ScannedArchive& archive);

// {"what":..., "entry": name or null, "chunk": index or null, "offset": n}
nlohmann::json FaultJson(const ScannedArchive& archive);
