// What filepacker learns of an archive while the installer's extractor walks
// it: every entry and chunk the extractor met, and, when it stopped, where
// (entry, chunk, container offset) and why, in words.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "archive/pack_reader.h"
#include "archive/refusal_code.h"

struct WalkedChunk {
  int32_t offset = 0;  // of its length field, from the container's start
  int32_t coded = 0;   // its length in the archive
  int32_t decoded = 0;
};

struct WalkedEntry {
  int32_t offset = 0;  // of its name length
  std::string name;    // code page 932, as stored
  int32_t size = 0;
  EntryInfo info{};
  std::vector<WalkedChunk> chunks;
  int64_t packed = 0;  // the chunks' coded lengths added up
  // list only: why the installer could not create it in its install
  // folder, in words and as a code; empty and kNone when it could.
  std::string refusal;
  RefusalCode refusalCode = RefusalCode::kNone;
};

// Where and why an archive is refused. Entries and chunks count from 1; 0
// means the fault lies outside them, an offset of -1 that none applies.
struct ArchiveFault {
  int entry = 0;
  int chunk = 0;
  int64_t offset = -1;
  std::string name;     // the entry's name (code page 932), when known
  std::string cause;    // in words, ASCII
  RefusalCode code = RefusalCode::kOther;  // what the cause is, for a program
  std::string outcome;  // the extractor's outcome text (code page 932); empty when it wrote none
};

struct ArchiveWalk {
  int64_t fileLength = 0;
  int32_t blockSize = 0;  // 0 unless the extractor accepted one
  std::vector<WalkedEntry> entries;
  bool ok = false;        // what ExtractFromMemory returned
  ArchiveFault fault;     // when not ok
  UnpackReport report{};
};

// The extractor's observer for filepacker: fills an ArchiveWalk from the
// events alone, which carry every field the extractor has read.
class ExtractionWatch : public ExtractionObserver {
 public:
  // folderWords says what the names are created behind ("the destination
  // folder"), prefixLength how many bytes the folder and its "\" take;
  // sinkFailure is where the file sink leaves why its last create or write
  // failed.
  ExtractionWatch(ArchiveWalk& walk, const char* folderWords, int prefixLength, const Refusal& sinkFailure)
      : walk_(walk), folderWords_(folderWords), prefixLength_(prefixLength), sinkFailure_(sinkFailure) {}
  void OnEvent(const ExtractionEvent& event) noexcept override;
  // After ExtractFromMemory, with its result and report.
  void Finish(int result, const UnpackReport& report);

 private:
  // An entry or chunk into the walk.
  void Record(const ExtractionEvent& event);
  void DescribeFault();
  // "... would pass the end of the container at offset N, ..."
  std::string PastTheEnd(const std::string& what, int64_t from) const;

  ArchiveWalk& walk_;
  const char* folderWords_;
  int prefixLength_;
  const Refusal& sinkFailure_;
  bool headerRead_ = false;
  int32_t blockSize_ = 0;
  bool failed_ = false;
  ExtractionEvent failure_{};  // its name is not kept: see failureName_
  std::string failureName_;
  bool outOfMemory_ = false;  // an event could not be recorded
};

// Whether the extractor may be given the bytes: the installer refuses a
// payload whose size field claims more than its resource holds (or that is
// shorter than a header) without extracting anything; filepacker refuses
// such a file the same way, and fills fault saying so. header holds the
// first min(length, 32) of the archive's length bytes.
bool CheckArchiveFits(const uint8_t* header, uint32_t length, ArchiveFault& fault);
