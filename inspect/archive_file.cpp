#include "inspect/archive_file.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "host/input_files.h"
#include "pe/payload_resource.h"

LoadOutcome LoadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  bytes.clear();
  std::FILE* file = nullptr;
  int64_t length = 0;
  if (!OpenInputFile(path, file, length, error)) return LoadOutcome::kUnreadable;
  LoadOutcome outcome = LoadOutcome::kLoaded;
  if (length > std::numeric_limits<int32_t>::max()) {
    error = path + ": " + std::to_string(length) + " bytes; an archive or installer holds less than 2 GiB";
    outcome = LoadOutcome::kTooLarge;
  } else {
    bytes.resize(static_cast<size_t>(length));
    if (length > 0 && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
      error = path + ": read error";
      outcome = LoadOutcome::kUnreadable;
    }
  }
  std::fclose(file);
  if (outcome != LoadOutcome::kLoaded) bytes.clear();
  return outcome;
}

LoadOutcome LoadArchiveFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error,
                            ArchiveContainer* container) {
  const LoadOutcome outcome = LoadWholeFile(path, bytes, error);
  if (outcome != LoadOutcome::kLoaded) {
    if (container != nullptr) *container = ArchiveContainer();
    return outcome;
  }
  return TakeArchive(path, bytes, error, container);
}

LoadOutcome TakeArchive(const std::string& name, std::vector<uint8_t>& bytes, std::string& error,
                        ArchiveContainer* container) {
  ArchiveContainer found;
  if (BeginsWithDosSignature(bytes)) {
    PayloadLocation where;
    std::string why;
    if (!FindPayload(bytes, where, why)) {
      error = name + ": not an installer that can be read: " + why;
      bytes.clear();
      return LoadOutcome::kNoPayload;
    }
    found = {true, where.offset, where.size, where.language, where.checked, {}};
    if (where.checked) {
      found.checkRecord.assign(bytes.begin() + where.checkOffset, bytes.begin() + where.checkOffset + where.checkSize);
    }
    bytes.erase(bytes.begin() + where.offset + where.size, bytes.end());
    bytes.erase(bytes.begin(), bytes.begin() + where.offset);
  }
  if (container != nullptr) *container = found;
  return LoadOutcome::kLoaded;
}
