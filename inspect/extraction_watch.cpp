#include "inspect/extraction_watch.h"

#include <new>

#include "archive/archive_format.h"
#include "archive/name_rules.h"

namespace {

using namespace archive_format;

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

}  // namespace

void ExtractionWatch::OnEvent(const ExtractionEvent& event) noexcept {
  if (event.step == ExtractionStep::kHeader) {
    headerRead_ = true;
    blockSize_ = event.blockSize;
    return;
  }
  if (outOfMemory_) return;
  try {
    if (event.step == ExtractionStep::kEntry || event.step == ExtractionStep::kChunk) {
      Record(event);
    } else {
      failed_ = true;
      failure_ = event;
      failure_.name = nullptr;
      if (event.name != nullptr) failureName_.assign(event.name, static_cast<size_t>(event.nameLength));
    }
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
  }
}

void ExtractionWatch::Record(const ExtractionEvent& event) {
  if (event.step == ExtractionStep::kEntry) {
    WalkedEntry entry;
    entry.offset = event.start;
    entry.name.assign(event.name, static_cast<size_t>(event.nameLength));
    entry.size = event.entrySize;
    entry.info = event.info;
    walk_.entries.push_back(entry);
  } else {
    WalkedEntry& entry = walk_.entries.back();
    const WalkedChunk chunk{event.start, event.chunkLength, event.value};
    entry.chunks.push_back(chunk);
    entry.packed += chunk.coded;
  }
}

void ExtractionWatch::Finish(int result, const UnpackReport& report) {
  walk_.ok = result != 0 && !outOfMemory_;
  walk_.report = report;
  walk_.report.message[sizeof(report.message) - 1] = '\0';
  walk_.blockSize = headerRead_ ? blockSize_ : 0;
  if (walk_.ok) return;
  walk_.fault = ArchiveFault();
  walk_.fault.outcome = walk_.report.message;
  if (outOfMemory_) {
    walk_.fault.code = RefusalCode::kOutOfMemory;
    walk_.fault.cause = "filepacker ran out of memory while following the extraction";
  } else if (failed_) {
    DescribeFault();
  } else {
    walk_.fault.code = RefusalCode::kNoBytes;
    walk_.fault.cause =
        "the archive holds no bytes to unpack (no entries, or only empty ones); the installer refuses it";
  }
}

std::string ExtractionWatch::PastTheEnd(const std::string& what, int64_t from) const {
  return what + " from offset " + std::to_string(from) + " would pass the end of the container at offset " +
         std::to_string(failure_.end) + ", where its size field ends it";
}

void ExtractionWatch::DescribeFault() {
  ArchiveFault& fault = walk_.fault;
  const ExtractionEvent& e = failure_;
  std::string& cause = fault.cause;
  RefusalCode& code = fault.code;
  fault.entry = e.entry;
  fault.chunk = e.chunk;
  fault.offset = e.faultOffset;
  // In its chunk list the entry is in the walk; before, the event names it.
  fault.name = e.chunk > 0 ? walk_.entries.back().name : failureName_;
  // In a chunk list: the entry, and how much its chunks gave before.
  const WalkedEntry* entry = e.chunk > 0 ? &walk_.entries.back() : nullptr;
  int64_t decoded = 0;
  if (entry != nullptr) {
    for (const WalkedChunk& chunk : entry->chunks) decoded += chunk.decoded;
  }
  const int32_t length = e.chunkLength;

  // Every step, without a default: a step added to the extractor without
  // words and a code here does not compile.
  switch (e.step) {
    case ExtractionStep::kHeader:
    case ExtractionStep::kEntry:
    case ExtractionStep::kChunk:
      return;  // not failures: never recorded as one
    case ExtractionStep::kHeaderCut:
      code = RefusalCode::kNotArchive;
      cause = "the container ends inside its " + std::to_string(kHeaderLength) + "-byte header";
      return;
    case ExtractionStep::kWrongMagic:
      code = RefusalCode::kNotArchive;
      cause = "not an archive: it does not begin with " + Quoted(kMagic);
      return;
    case ExtractionStep::kSizeNotPositive:
      code = RefusalCode::kImpossibleValues;
      cause = "the size field is " + std::to_string(e.sizeField) + "; it must be above 0";
      return;
    case ExtractionStep::kCodedWithoutTransform:
      code = RefusalCode::kCoded;
      cause = "a coded archive (its coding tag is not " + Quoted(kPlainTag) +
              "); the installer reads plain archives only";
      return;
    case ExtractionStep::kCodedTagRefused:
      code = RefusalCode::kCoded;
      cause = "the transform refuses the coding tag";
      return;
    case ExtractionStep::kCodedTagAltered:
      code = RefusalCode::kCoded;
      cause = "the transform altered the coding tag";
      return;
    case ExtractionStep::kCodedSignature:
      code = RefusalCode::kCoded;
      cause = "the decoded signature is not " + Quoted(kSignature);
      return;
    case ExtractionStep::kWrongSignature:
      code = RefusalCode::kCoded;
      cause = "the signature is not " + Quoted(kSignature);
      return;
    case ExtractionStep::kSizeTooLarge:
      code = RefusalCode::kImpossibleValues;
      cause = "the size field " + std::to_string(e.sizeField) +
              " makes the container 2 GiB or longer, more than its 32-bit offsets reach";
      return;
    case ExtractionStep::kBlockSizeCut:
      code = RefusalCode::kTruncated;
      cause = PastTheEnd("the 4-byte block size", e.position);
      return;
    case ExtractionStep::kBlockSizeOutOfRange:
      code = RefusalCode::kImpossibleValues;
      cause = "the block size " + std::to_string(e.blockSize) + " is outside " + std::to_string(kMinBlockSize) +
              ".." + std::to_string(kMaxBlockSize);
      return;
    case ExtractionStep::kNoChunkBuffer:
      code = RefusalCode::kOutOfMemory;
      cause = "no memory for the chunk buffer of " + std::to_string(int64_t{e.blockSize} + kBufferSlack) +
              " bytes (block size + " + std::to_string(kBufferSlack) + ")";
      return;
    case ExtractionStep::kEntryCut:
      code = RefusalCode::kTruncated;
      cause = PastTheEnd("the name length (or the end-of-list marker)", e.position);
      return;
    case ExtractionStep::kEntryHeadCut:
      code = RefusalCode::kTruncated;
      cause = PastTheEnd("the " + std::to_string(e.nameLength) + "-byte name and the unpacked size", e.position);
      return;
    case ExtractionStep::kSizesPast2GiB:
      code = RefusalCode::kImpossibleValues;
      cause = "with its unpacked size of " + std::to_string(e.entrySize) +
              " bytes the entries add up past 2147483647 bytes, more than the installer counts";
      return;
    case ExtractionStep::kInfoCut:
      code = RefusalCode::kTruncated;
      cause = PastTheEnd("the " + std::to_string(kInfoLength) + "-byte info record", e.position);
      return;
    case ExtractionStep::kPathTooLong:
      code = RefusalCode::kNameTooLong;
      cause = "its name takes " + std::to_string(fault.name.size()) + " bytes; behind " + folderWords_ +
              " a name holds at most " + std::to_string(kPathBufferSize - prefixLength_ - 1);
      return;
    case ExtractionStep::kNameUnsafe:
      code = RefusalCode::kNameRefused;
      cause = std::string("the installer refuses its name: ") +
              EntryNameFaultText(CheckEntryName(fault.name.data(), static_cast<int>(fault.name.size())));
      return;
    case ExtractionStep::kCreateFailed:
      code = sinkFailure_.Refused() ? sinkFailure_.code : RefusalCode::kCannotCreate;
      cause = sinkFailure_.text.empty() ? std::string("the file cannot be created") : sinkFailure_.text;
      return;
    case ExtractionStep::kChunkLengthCut:
      code = RefusalCode::kTruncated;
      cause = PastTheEnd("the 4-byte chunk length", e.position);
      return;
    case ExtractionStep::kChunkTooLong:
      code = RefusalCode::kImpossibleValues;
      cause = "the chunk length " + std::to_string(length) + " is above block size + " +
              std::to_string(kChunkSlack) + " (" + std::to_string(int64_t{e.blockSize} + kChunkSlack) + ")";
      return;
    case ExtractionStep::kChunksEndEarly:
      code = RefusalCode::kUndecodable;
      cause = "the chunks end after " + std::to_string(decoded) + " of its " + std::to_string(entry->size) + " bytes";
      return;
    case ExtractionStep::kChunkDataCut:
      code = RefusalCode::kTruncated;
      cause = PastTheEnd("the chunk's " + std::to_string(length) + " bytes of data", e.position);
      return;
    case ExtractionStep::kChunkNotDecoded:
      code = RefusalCode::kUndecodable;
      if (e.value <= 0) {
        cause = "its " + std::to_string(length) + " bytes do not decode as a block (codec result " +
                std::to_string(e.value) + ")";
      } else {
        cause = "it decodes to " + std::to_string(e.value) + " bytes, more than the " +
                std::to_string(entry->size - decoded) + " left of the entry's " + std::to_string(entry->size);
      }
      return;
    case ExtractionStep::kWriteFailed:
      code = sinkFailure_.Refused() ? sinkFailure_.code : RefusalCode::kCannotCreate;
      cause = sinkFailure_.text.empty() ? std::string("the file cannot be written") : sinkFailure_.text;
      return;
  }
}

bool CheckArchiveFits(const uint8_t* header, uint32_t length, ArchiveFault& fault) {
  if (ArchiveFitsIn(header, length)) return true;
  fault = ArchiveFault();
  if (length < static_cast<uint32_t>(kHeaderLength)) {
    fault.code = RefusalCode::kNotArchive;
    fault.cause = "the file holds " + std::to_string(length) + " bytes, fewer than the " +
                  std::to_string(kHeaderLength) + " of a header";
    return false;
  }
  const int64_t claimed = ClaimedArchiveLength(header);
  fault.offset = kSizeFieldOffset;
  fault.code = RefusalCode::kTruncated;
  fault.cause = "the size field claims " + std::to_string(claimed) + " bytes but the file holds " +
                std::to_string(length) + "; the installer refuses such a payload without extracting it";
  return false;
}
