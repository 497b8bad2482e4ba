// A forward reader of the container format for `list` and `test`: walks an
// archive held in memory from front to back, never reading past the file or
// past what its size field allows, and records every entry and chunk it
// meets. With decoding on, it runs each chunk through the block codec and
// checks that the entry's chunks add up to its size, but writes nothing.
//
// This is the packager's inspection tool, not the installer's engine
// (PackReader): it keeps going where it can, to say where a problem lies.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct ScannedChunk {
  int64_t offset = 0;  // of its length field, from the container's start
  int32_t length = 0;  // coded bytes
  int32_t decodedLength = 0;  // 0 unless decoded
};

struct ScannedEntry {
  int64_t offset = 0;  // of its name length
  std::string name;    // code page 932, as stored
  int32_t size = 0;
  uint32_t attributes = 0;
  uint64_t creationTime = 0;
  uint64_t lastAccessTime = 0;
  uint64_t lastWriteTime = 0;
  std::vector<ScannedChunk> chunks;
  int64_t packedBytes = 0;  // the chunks' coded bytes added up
  // Why extraction would refuse this name; empty when it would not.
  std::string refusal;
};

// The first thing wrong with the archive, and where. entry and chunk are -1
// when the problem lies outside them.
struct ScanFault {
  std::string what;
  int entry = -1;
  int chunk = -1;
  int64_t offset = 0;
};

struct ScannedArchive {
  int64_t fileLength = 0;
  int32_t sizeField = 0;
  int32_t blockSize = 0;
  std::vector<ScannedEntry> entries;  // those read before a fault, too
  bool ok = true;  // false: see fault
  ScanFault fault;
  // Bytes of the file after the end-of-list marker; the extractor ignores
  // them.
  int64_t trailingBytes = 0;
};

// Reads the whole archive in `bytes`. Returns archive.ok.
bool ScanArchive(std::span<const uint8_t> bytes, bool decode, ScannedArchive& archive);

// Why the extractor would refuse an entry of this name (code page 932), or
// an empty string. names holds the entries before it, for duplicates.
std::string EntryNameRefusal(const std::string& name, const std::vector<ScannedEntry>& before);
