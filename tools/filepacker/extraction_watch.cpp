#include "tools/filepacker/extraction_watch.h"

#include <new>

#include "archive/archive_format.h"
#include "packer/name_rules.h"

namespace {

using namespace archive_format;

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// Where the step's field lies when it is a field of the header.
int64_t HeaderFieldOffset(ExtractionStep step) {
  switch (step) {
    case ExtractionStep::kHeaderCut:
    case ExtractionStep::kWrongMagic: return kMagicOffset;
    case ExtractionStep::kCodedWithoutTransform:
    case ExtractionStep::kCodedTagRefused:
    case ExtractionStep::kCodedTagAltered: return kTagOffset;
    case ExtractionStep::kSizeNotPositive:
    case ExtractionStep::kSizeTooLarge: return kSizeFieldOffset;
    case ExtractionStep::kCodedSignature:
    case ExtractionStep::kWrongSignature: return kSignatureOffset;
    case ExtractionStep::kBlockSizeCut:
    case ExtractionStep::kBlockSizeOutOfRange: return kBlockSizeOffset;
    default: return -1;
  }
}

}  // namespace

ExtractionWatch::ExtractionWatch(std::span<const uint8_t> archive, ArchiveWalk& walk, const char* folderWords,
                                 int prefixLength, const std::string& sinkFailure)
    : archive_(archive),
      walk_(walk),
      folderWords_(folderWords),
      prefixLength_(prefixLength),
      sinkFailure_(sinkFailure) {
  walk_.fileLength = static_cast<int64_t>(archive.size());
}

int32_t ExtractionWatch::Int32At(int64_t offset) const {
  if (offset < 0 || offset + 4 > static_cast<int64_t>(archive_.size())) return 0;
  return LoadInt32(archive_.data() + offset);
}

std::string ExtractionWatch::NameAt(int32_t entryOffset) const {
  const size_t length = archive_[static_cast<size_t>(entryOffset)];
  return std::string(reinterpret_cast<const char*>(archive_.data()) + entryOffset + 1, length);
}

void ExtractionWatch::OnEvent(const ExtractionEvent& event) noexcept {
  if (event.step != ExtractionStep::kEntry && event.step != ExtractionStep::kChunk) {
    failed_ = true;
    failure_ = event;
    return;
  }
  if (outOfMemory_) return;
  try {
    Record(event);
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
  }
}

void ExtractionWatch::Record(const ExtractionEvent& event) {
  if (event.step == ExtractionStep::kEntry) {
    WalkedEntry entry;
    entry.offset = event.start;
    entry.name = NameAt(event.start);
    const int64_t fields = event.start + 1 + static_cast<int64_t>(entry.name.size());
    entry.size = Int32At(fields);
    const uint8_t* info = archive_.data() + fields + 4;
    entry.info.attributes = LoadUint32(info + kInfoAttributesOffset);
    entry.info.creationTime = LoadUint64(info + kInfoCreationOffset);
    entry.info.lastAccessTime = LoadUint64(info + kInfoLastAccessOffset);
    entry.info.lastWriteTime = LoadUint64(info + kInfoLastWriteOffset);
    walk_.entries.push_back(entry);
  } else if (event.step == ExtractionStep::kChunk) {
    WalkedEntry& entry = walk_.entries.back();
    const WalkedChunk chunk{event.start, Int32At(event.start), event.value};
    entry.chunks.push_back(chunk);
    entry.packed += chunk.coded;
  }
}

void ExtractionWatch::Finish(int result, const UnpackReport& report) {
  walk_.ok = result != 0 && !outOfMemory_;
  walk_.report = report;
  walk_.report.message[sizeof(report.message) - 1] = '\0';
  const bool blockSizeAccepted = walk_.ok || (failed_ && failure_.step > ExtractionStep::kBlockSizeOutOfRange) ||
                                 (!failed_ && archive_.size() >= kEntriesOffset);
  walk_.blockSize = blockSizeAccepted ? Int32At(kBlockSizeOffset) : 0;
  if (walk_.ok) return;
  walk_.fault = ArchiveFault();
  walk_.fault.outcome = walk_.report.message;
  if (outOfMemory_) {
    walk_.fault.cause = "filepacker ran out of memory while following the extraction";
  } else if (failed_) {
    DescribeFault();
  } else {
    walk_.fault.cause =
        "the archive holds no bytes to unpack (no entries, or only empty ones); the installer refuses it";
  }
}

std::string ExtractionWatch::PastTheEnd(const std::string& what, int64_t from) const {
  return what + " from offset " + std::to_string(from) + " would pass the end of the container at offset " +
         std::to_string(int64_t{Int32At(kSizeFieldOffset)} + kSizeFieldEnd) + ", where its size field ends it";
}

void ExtractionWatch::DescribeFault() {
  ArchiveFault& fault = walk_.fault;
  const ExtractionStep step = failure_.step;
  const int32_t start = failure_.start;
  std::string& cause = fault.cause;

  fault.offset = HeaderFieldOffset(step);
  if (fault.offset >= 0 || step == ExtractionStep::kNoChunkBuffer) {
    switch (step) {
      case ExtractionStep::kHeaderCut:
        cause = "the container ends inside its " + std::to_string(kHeaderLength) + "-byte header";
        break;
      case ExtractionStep::kWrongMagic: cause = "not an archive: it does not begin with " + Quoted(kMagic); break;
      case ExtractionStep::kSizeNotPositive:
        cause = "the size field is " + std::to_string(Int32At(kSizeFieldOffset)) + "; it must be above 0";
        break;
      case ExtractionStep::kCodedWithoutTransform:
        cause = "a coded archive (its coding tag is not " + Quoted(kPlainTag) +
                "); the installer reads plain archives only";
        break;
      case ExtractionStep::kCodedTagRefused: cause = "the transform refuses the coding tag"; break;
      case ExtractionStep::kCodedTagAltered: cause = "the transform altered the coding tag"; break;
      case ExtractionStep::kCodedSignature: cause = "the decoded signature is not " + Quoted(kSignature); break;
      case ExtractionStep::kWrongSignature: cause = "the signature is not " + Quoted(kSignature); break;
      case ExtractionStep::kSizeTooLarge:
        cause = "the size field " + std::to_string(Int32At(kSizeFieldOffset)) +
                " makes the container 2 GiB or longer, more than its 32-bit offsets reach";
        break;
      case ExtractionStep::kBlockSizeCut: cause = PastTheEnd("the 4-byte block size", kBlockSizeOffset); break;
      case ExtractionStep::kBlockSizeOutOfRange:
        cause = "the block size " + std::to_string(Int32At(kBlockSizeOffset)) + " is outside " +
                std::to_string(kMinBlockSize) + ".." + std::to_string(kMaxBlockSize);
        break;
      default:
        cause = "no memory for the chunk buffer of " +
                std::to_string(int64_t{Int32At(kBlockSizeOffset)} + kBufferSlack) + " bytes (block size + " +
                std::to_string(kBufferSlack) + ")";
        break;
    }
    return;
  }

  // An entry's own steps: before kEntry its record is not in the walk yet.
  const bool entryRecorded = step >= ExtractionStep::kPathTooLong;
  fault.entry = static_cast<int>(walk_.entries.size()) + (entryRecorded ? 0 : 1);
  fault.offset = start;
  if (step == ExtractionStep::kEntryCut) {
    cause = PastTheEnd("the name length (or the end-of-list marker)", start);
    return;
  }
  if (step == ExtractionStep::kEntryHeadCut) {
    const int nameLength = archive_[static_cast<size_t>(start)];
    cause = PastTheEnd("the " + std::to_string(nameLength) + "-byte name and the unpacked size", start + 1);
    return;
  }
  // From kPathTooLong on, start is the entry's (or, in its chunk list, the
  // chunk's) and the entry is in the walk.
  fault.name = entryRecorded ? walk_.entries.back().name : NameAt(start);
  const int64_t sizeOffset = start + 1 + static_cast<int64_t>(fault.name.size());
  switch (step) {
    case ExtractionStep::kSizesPast2GiB:
      fault.offset = sizeOffset;
      cause = "with its unpacked size of " + std::to_string(Int32At(sizeOffset)) +
              " bytes the entries add up past 2147483647 bytes, more than the installer counts";
      return;
    case ExtractionStep::kInfoCut:
      fault.offset = sizeOffset + 4;
      cause = PastTheEnd("the " + std::to_string(kInfoLength) + "-byte info record", sizeOffset + 4);
      return;
    case ExtractionStep::kPathTooLong:
      cause = "its name takes " + std::to_string(fault.name.size()) + " bytes; behind " + folderWords_ +
              " a name holds at most " + std::to_string(kEntryPathCapacity - prefixLength_ - 1);
      return;
    case ExtractionStep::kNameUnsafe:
      cause = std::string("the installer refuses its name: ") +
              EntryNameFaultText(CheckEntryName(fault.name.data(), static_cast<int>(fault.name.size())));
      return;
    case ExtractionStep::kCreateFailed:
      cause = sinkFailure_.empty() ? std::string("the file cannot be created") : sinkFailure_;
      return;
    default:
      break;
  }

  // The steps of a chunk.
  const WalkedEntry& entry = walk_.entries.back();
  fault.chunk = static_cast<int>(entry.chunks.size()) + 1;
  const int32_t length = Int32At(start);
  int64_t decoded = 0;
  for (const WalkedChunk& chunk : entry.chunks) decoded += chunk.decoded;
  switch (step) {
    case ExtractionStep::kChunkLengthCut: cause = PastTheEnd("the 4-byte chunk length", start); break;
    case ExtractionStep::kChunkTooLong:
      cause = "the chunk length " + std::to_string(length) + " is above block size + " +
              std::to_string(kChunkSlack) + " (" + std::to_string(int64_t{Int32At(kBlockSizeOffset)} + kChunkSlack) +
              ")";
      break;
    case ExtractionStep::kChunksEndEarly:
      cause = "the chunks end after " + std::to_string(decoded) + " of its " + std::to_string(entry.size) + " bytes";
      break;
    case ExtractionStep::kChunkDataCut:
      cause = PastTheEnd("the chunk's " + std::to_string(length) + " bytes of data", int64_t{start} + 4);
      break;
    case ExtractionStep::kChunkNotDecoded:
      if (failure_.value <= 0) {
        cause = "its " + std::to_string(length) + " bytes do not decode as a block (codec result " +
                std::to_string(failure_.value) + ")";
      } else {
        cause = "it decodes to " + std::to_string(failure_.value) + " bytes, more than the " +
                std::to_string(entry.size - decoded) + " left of the entry's " + std::to_string(entry.size);
      }
      break;
    default:
      cause = sinkFailure_.empty() ? std::string("the file cannot be written") : sinkFailure_;
      break;
  }
}

bool CheckArchiveFits(std::span<const uint8_t> archive, ArchiveFault& fault) {
  const uint32_t length = static_cast<uint32_t>(archive.size());
  if (ArchiveFitsIn(archive.data(), length)) return true;
  fault = ArchiveFault();
  if (archive.size() < static_cast<size_t>(kHeaderLength)) {
    fault.cause = "the file holds " + std::to_string(archive.size()) + " bytes, fewer than the " +
                  std::to_string(kHeaderLength) + " of a header";
    return false;
  }
  const int64_t claimed = int64_t{LoadInt32(archive.data() + kSizeFieldOffset)} + kSizeFieldEnd;
  fault.offset = kSizeFieldOffset;
  fault.cause = "the size field claims " + std::to_string(claimed) + " bytes but the file holds " +
                std::to_string(archive.size()) + "; the installer refuses such a payload without extracting it";
  return false;
}
