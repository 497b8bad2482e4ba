// The extractor: one forward pass over the container, every read bounded by
// its size field. Each element of the format has its own function below;
// each returns true to go on and false once it has recorded a failure.
//
// Outcome texts (the first failure ends the extraction and keeps its text):
//   "リードエラー！"                    a read would pass the size field's bound,
//                                       or the chunk buffer cannot be allocated
//   "書式エラー！"                      wrong magic, size field <= 0 or too large
//                                       (the latter only once the tag and the
//                                       signature are judged), wrong signature
//                                       (plain archive), block
//                                       size out of range, chunks ending before
//                                       the file does, sizes adding up past 2^31
//   "書式エラー！ [セグメントサイズ] %s"  a chunk length above block size + 16
//   "コーダーエラー！"                  a coded archive refused (coder error 1)
//   "ライトエラー！"                    a file cannot be created, or its name is
//                                       unsafe or does not fit the path buffer
//   "ライトエラー！ %s"                  a chunk not written in full
//   "解凍エラー！ %s"                    a chunk that does not decode, or decodes
//                                       past the file's size
//   "解凍完了！ ファイル数:%d"           success
#include "archive/pack_reader.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

#include "archive/archive_format.h"
#include "archive/block_codec.h"
#include "archive/entry_name.h"

namespace {

const char kReadError[] = "リードエラー！";
const char kFormatError[] = "書式エラー！";
const char kSegmentSizeError[] = "書式エラー！ [セグメントサイズ] %s";
const char kCoderError[] = "コーダーエラー！";
const char kCreateError[] = "ライトエラー！";
const char kWriteError[] = "ライトエラー！ %s";
const char kDecodeError[] = "解凍エラー！ %s";
const char kComplete[] = "解凍完了！ ファイル数:%d";

using namespace archive_format;

constexpr int kPathCapacity = kPathBufferSize;
constexpr int kMessageCapacity = sizeof(UnpackReport::message);

// Copies text into message, replacing "%s" by name and "%d" by number;
// always NUL-terminated within the capacity.
void ComposeMessage(char* message, const char* text, const char* name, int32_t number) {
  int out = 0;
  auto put = [&](char c) {
    if (out < kMessageCapacity - 1) message[out++] = c;
  };
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      for (const char* q = name; *q != '\0'; ++q) put(*q);
      ++p;
    } else if (p[0] == '%' && p[1] == 'd') {
      char digits[12];
      int count = 0;
      uint32_t magnitude = number < 0 ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
      do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
      } while (magnitude != 0);
      if (number < 0) put('-');
      while (count > 0) put(digits[--count]);
      ++p;
    } else {
      put(*p);
    }
  }
  message[out] = '\0';
}

// The whole state of one extraction, the read position among it: each
// function below takes it and nothing else. Everything starts at zero but
// what the extraction is given.
struct Extraction {
  // What the extraction is given.
  PackReader& reader;              // its transform and creation disposition
  ProgressReceiver*& progressTarget;  // the reader's own: read afresh before each call
  FileSink& files;
  ExtractionObserver* observer;    // may be null
  UnpackReport* report;            // may be null
  const uint8_t* archive;          // the container's first byte, in memory
  ArchiveSource* source;           // or where to read it; null when it is in memory

  // The read position: container bytes consumed so far, and the bound that
  // no read may pass (32 for the header, then the size field's end).
  int32_t position = 0;
  int32_t total = 0;

  DataTransform* transform = nullptr;  // null for a plain archive
  BlockCodec* codec = nullptr;
  uint8_t* chunk = nullptr;            // block size + kBufferSlack bytes
  int32_t blockSize = 0;
  char path[kPathCapacity] = {};  // folder, "\", the current entry's name, NUL
  int prefixLength = 0;           // folder and "\"
  uint8_t info[kInfoLength] = {};
  int32_t fileCount = 0;
  int32_t runningTotal = 0;       // sum of the sizes met so far; -1 after a failure
  // For the observer: where the current entry or chunk begins, the last
  // chunk's decoded length, and the fields read so far.
  int32_t start = 0;
  int32_t value = 0;
  int32_t sizeField = 0;
  int32_t entry = 0;
  int32_t chunkNumber = 0;
  int32_t nameLength = 0;
  const char* name = nullptr;  // the current entry's name in the chunk buffer, until its chunks are read
  int32_t entrySize = 0;
  int32_t chunkLength = 0;
  bool infoRead = false;

  const char* Name() const { return path + prefixLength; }

  // Copies exactly count bytes (count >= 0) from the position on and
  // advances it; false, leaving it alone, when they would pass the bound.
  // Both lie in 0..INT32_MAX, so their difference cannot overflow.
  bool Read(void* buffer, int32_t count) {
    if (total - position < count) return false;
    if (source != nullptr) {
      if (!source->Read(position, static_cast<uint8_t*>(buffer), count)) return false;
    } else {
      std::memcpy(buffer, archive + position, static_cast<size_t>(count));
    }
    position += count;
    return true;
  }
};

EntryInfo DecodeInfo(const uint8_t* record) {
  EntryInfo info;
  info.attributes = LoadUint32(record + kInfoAttributesOffset);
  info.creationTime = LoadUint64(record + kInfoCreationOffset);
  info.lastAccessTime = LoadUint64(record + kInfoLastAccessOffset);
  info.lastWriteTime = LoadUint64(record + kInfoLastWriteOffset);
  return info;
}

// What the extractor knows of each failing step, one row each in the order
// of ExtractionStep: where its fault lies (a header field's offset, or one
// of the marks below: the current entry or chunk, the entry's sizes or its
// info record), and its outcome text. The installer carries only the
// columns below, bytes rather than a switch, which keep it within its size.
constexpr uint8_t kNoFault = 0xFF, kAtStart = 0xFE, kAtSizes = 0xFD, kAtInfo = 0xFC;
static_assert(kBlockSizeOffset < kAtInfo && kSignatureOffset < kAtInfo, "header offsets fit below the marks");
enum FailureText : uint8_t { kRead, kFormat, kSegmentSize, kCoder, kCreate, kWrite, kDecode };
struct FailingStep {
  ExtractionStep step;
  uint8_t faultAt;
  FailureText text;
};
constexpr FailingStep kFailingSteps[] = {
    {ExtractionStep::kHeaderCut, kMagicOffset, kRead},
    {ExtractionStep::kWrongMagic, kMagicOffset, kFormat},
    {ExtractionStep::kSizeNotPositive, kSizeFieldOffset, kFormat},
    {ExtractionStep::kCodedWithoutTransform, kTagOffset, kCoder},
    {ExtractionStep::kCodedTagRefused, kTagOffset, kCoder},
    {ExtractionStep::kCodedTagAltered, kTagOffset, kCoder},
    {ExtractionStep::kCodedSignature, kSignatureOffset, kCoder},
    {ExtractionStep::kWrongSignature, kSignatureOffset, kFormat},
    {ExtractionStep::kSizeTooLarge, kSizeFieldOffset, kFormat},
    {ExtractionStep::kBlockSizeCut, kBlockSizeOffset, kRead},
    {ExtractionStep::kBlockSizeOutOfRange, kBlockSizeOffset, kFormat},
    // The archive is not at fault, so not a format error.
    {ExtractionStep::kNoChunkBuffer, kNoFault, kRead},
    {ExtractionStep::kEntryCut, kAtStart, kRead},
    {ExtractionStep::kEntryHeadCut, kAtStart, kRead},
    {ExtractionStep::kSizesPast2GiB, kAtSizes, kFormat},
    {ExtractionStep::kInfoCut, kAtInfo, kRead},
    {ExtractionStep::kPathTooLong, kAtStart, kCreate},
    {ExtractionStep::kNameUnsafe, kAtStart, kCreate},
    {ExtractionStep::kCreateFailed, kAtStart, kCreate},
    {ExtractionStep::kChunkLengthCut, kAtStart, kRead},
    {ExtractionStep::kChunkTooLong, kAtStart, kSegmentSize},
    {ExtractionStep::kChunksEndEarly, kAtStart, kFormat},
    {ExtractionStep::kChunkDataCut, kAtStart, kRead},
    {ExtractionStep::kChunkNotDecoded, kAtStart, kDecode},
    {ExtractionStep::kWriteFailed, kAtStart, kWrite},
};
constexpr int kFirstFailure = static_cast<int>(ExtractionStep::kHeaderCut);
constexpr int kFailingStepCount = static_cast<int>(ExtractionStep::kWriteFailed) + 1 - kFirstFailure;

// From kPathTooLong on every step faults at its entry or chunk, so the
// column of where faults lie stops before it.
constexpr int kFaultOffsetCount = static_cast<int>(ExtractionStep::kPathTooLong) - kFirstFailure;

// Every failing step has its row, in its place, and the rows that the
// column of where faults lie leaves out fault where it says they do.
constexpr bool RowsInStepOrder() {
  if (sizeof kFailingSteps / sizeof kFailingSteps[0] != kFailingStepCount) return false;
  for (int i = 0; i < kFailingStepCount; ++i) {
    if (static_cast<int>(kFailingSteps[i].step) != kFirstFailure + i) return false;
    if (i >= kFaultOffsetCount && kFailingSteps[i].faultAt != kAtStart) return false;
  }
  return true;
}
static_assert(RowsInStepOrder(), "one row of kFailingSteps for each failing step, in the order of ExtractionStep");

template <int kCount, typename Field>
constexpr std::array<uint8_t, kCount> Column(Field FailingStep::*field) {
  std::array<uint8_t, kCount> column{};
  for (int i = 0; i < kCount; ++i) column[i] = static_cast<uint8_t>(kFailingSteps[i].*field);
  return column;
}
constexpr std::array<uint8_t, kFaultOffsetCount> kFaultOffsetOfStep =
    Column<kFaultOffsetCount>(&FailingStep::faultAt);

int32_t FaultOffset(const Extraction& x, ExtractionStep step) {
  const uint32_t index = static_cast<uint32_t>(step) - static_cast<uint32_t>(kFirstFailure);
  const uint8_t at = index < kFaultOffsetOfStep.size() ? kFaultOffsetOfStep[index] : kAtStart;
  if (at == kNoFault) return -1;
  if (at == kAtStart) return x.start;
  const int32_t afterName = x.start + 1 + x.nameLength;
  if (at == kAtSizes) return afterName;
  if (at == kAtInfo) return afterName + 4;
  return at;
}

void Notify(Extraction& x, ExtractionStep step) {
  ExtractionObserver* observer = x.observer;
  if (observer == nullptr) return;
  ExtractionEvent event{};
  event.step = step;
  event.start = x.start;
  event.position = x.position;
  event.value = x.value;
  event.faultOffset = FaultOffset(x, step);
  event.end = x.total;
  event.sizeField = x.sizeField;
  event.blockSize = x.blockSize;
  event.entry = x.entry;
  event.chunk = x.chunkNumber;
  event.nameLength = x.nameLength;
  event.name = x.name;
  event.entrySize = x.entrySize;
  if (x.infoRead) event.info = DecodeInfo(x.info);
  event.chunkLength = x.chunkLength;
  observer->OnEvent(event);
}

const char* const kFailureTexts[] = {kReadError,  kFormatError, kSegmentSizeError, kCoderError,
                                     kCreateError, kWriteError,  kDecodeError};
constexpr std::array<uint8_t, kFailingStepCount> kTextOfStep = Column<kFailingStepCount>(&FailingStep::text);

// Records the failure's text (with the entry's name where it has %s) and
// the coder error flag; returns false so that callers can end with it.
bool Fail(Extraction& x, ExtractionStep step) {
  const uint8_t text = kTextOfStep[static_cast<int>(step) - kFirstFailure];
  if (x.report != nullptr) {
    if (text == kCoder) x.report->coderError = 1;
    ComposeMessage(x.report->message, kFailureTexts[text], x.Name(), 0);
  }
  Notify(x, step);
  return false;
}

void Transform(Extraction& x, uint8_t* bytes, int count) {
  if (x.transform != nullptr) x.transform->Apply(bytes, count);
}

// The target may be detached by another thread at any time, so it is read
// afresh before each call.
void ReportProgress(Extraction& x) {
  ProgressReceiver* const target =
      std::atomic_ref<ProgressReceiver*>(x.progressTarget).load(std::memory_order_relaxed);
  if (target != nullptr) target->OnProgress(x.position, x.total);
}

// Magic, size, coding tag and signature.
bool ReadHeader(Extraction& x) {
  uint8_t header[kHeaderLength];
  x.total = kHeaderLength;
  // No archive at all reads as one cut short before its first byte.
  if ((x.archive == nullptr && x.source == nullptr) || !x.Read(header, kHeaderLength)) {
    return Fail(x, ExtractionStep::kHeaderCut);
  }
  if (std::memcmp(header + kMagicOffset, kMagic, kMagicLength) != 0) return Fail(x, ExtractionStep::kWrongMagic);

  // A size that leaves size + 24 beyond 32 bits holds the bound at its
  // largest until the tag and the signature have been judged (they come
  // first, and are all in the header); then it is refused.
  const int32_t size = LoadInt32(header + kSizeFieldOffset);
  x.sizeField = size;
  const bool tooLarge = size > INT32_MAX - kSizeFieldEnd;
  x.total = tooLarge ? INT32_MAX : size + kSizeFieldEnd;
  if (size <= 0) return Fail(x, ExtractionStep::kSizeNotPositive);

  uint8_t* tag = header + kTagOffset;
  uint8_t* signature = header + kSignatureOffset;
  if (std::memcmp(tag, kPlainTag, kTagLength) == 0) {
    x.reader.transform = nullptr;
    x.transform = nullptr;
    if (std::memcmp(signature, kSignature, kSignatureLength) != 0) return Fail(x, ExtractionStep::kWrongSignature);
  } else {
    uint8_t tagCopy[kTagLength];
    std::memcpy(tagCopy, tag, kTagLength);
    x.transform = x.reader.transform;
    if (x.transform == nullptr) return Fail(x, ExtractionStep::kCodedWithoutTransform);
    if (x.transform->Prepare(tagCopy + 1, kTagLength - 1) == 0) return Fail(x, ExtractionStep::kCodedTagRefused);
    if (std::memcmp(tag, tagCopy, kTagLength) != 0) return Fail(x, ExtractionStep::kCodedTagAltered);
    x.transform->Apply(signature, kSignatureLength);
    if (std::memcmp(signature, kSignature, kSignatureLength) != 0) return Fail(x, ExtractionStep::kCodedSignature);
  }
  if (tooLarge) return Fail(x, ExtractionStep::kSizeTooLarge);
  return true;
}

bool ReadBlockSize(Extraction& x) {
  uint8_t field[4];
  if (!x.Read(field, 4)) return Fail(x, ExtractionStep::kBlockSizeCut);
  x.blockSize = LoadInt32(field);
  if (x.blockSize < kMinBlockSize || x.blockSize > kMaxBlockSize) {
    return Fail(x, ExtractionStep::kBlockSizeOutOfRange);
  }
  Notify(x, ExtractionStep::kHeader);
  return true;
}

// The chunk list of the open file: reads, decodes and writes each chunk
// until the terminating length.
bool ExtractChunks(Extraction& x, FileHandle file, int32_t remaining) {
  const int32_t limit = x.blockSize + kChunkSlack;
  x.name = nullptr;  // the chunks overwrite it
  for (;;) {
    x.start = x.position;
    ++x.chunkNumber;
    x.chunkLength = 0;
    uint8_t field[4];
    if (!x.Read(field, 4)) return Fail(x, ExtractionStep::kChunkLengthCut);
    const int32_t length = LoadInt32(field);
    x.chunkLength = length;
    if (length > limit) return Fail(x, ExtractionStep::kChunkTooLong);
    if (length <= 0) {
      if (remaining == 0) return true;
      return Fail(x, ExtractionStep::kChunksEndEarly);  // the chunks ended before the file
    }
    if (!x.Read(x.chunk, length)) return Fail(x, ExtractionStep::kChunkDataCut);
    Transform(x, x.chunk, length);

    const int32_t decoded = x.codec->Decode(x.chunk, length, limit);
    x.value = decoded;
    if (decoded <= 0 || decoded > remaining) return Fail(x, ExtractionStep::kChunkNotDecoded);
    remaining -= decoded;
    const int32_t written = x.files.Write(file, x.chunk, decoded);
    if (written != decoded) {
      x.value = written;
      return Fail(x, ExtractionStep::kWriteFailed);
    }
    Notify(x, ExtractionStep::kChunk);
    ReportProgress(x);
  }
}

enum class EntryResult { kExtracted, kEndOfList, kFailed };

// One file entry: name, size, info record, then the file and its chunks.
EntryResult ExtractEntry(Extraction& x) {
  x.start = x.position;
  ++x.entry;
  x.chunkNumber = 0;
  x.nameLength = 0;
  x.name = nullptr;
  x.entrySize = 0;
  x.chunkLength = 0;
  x.infoRead = false;
  if (!x.Read(x.chunk, 1)) {
    Fail(x, ExtractionStep::kEntryCut);
    return EntryResult::kFailed;
  }
  const int nameLength = x.chunk[0];
  if (nameLength == 0) return EntryResult::kEndOfList;
  x.nameLength = nameLength;
  if (!x.Read(x.chunk, nameLength + 4)) {
    Fail(x, ExtractionStep::kEntryHeadCut);
    return EntryResult::kFailed;
  }

  // An unsafe name, or one that does not fit the path buffer, is refused at
  // the point where its file would be created, exactly as a file that
  // cannot be created.
  Transform(x, x.chunk, nameLength);
  const bool fits = x.prefixLength + nameLength + 1 <= kPathCapacity;
  if (fits) {
    std::memcpy(x.path + x.prefixLength, x.chunk, nameLength);
    x.path[x.prefixLength + nameLength] = '\0';
  }
  const ExtractionStep refusal =
      !fits ? ExtractionStep::kPathTooLong
            : IsSafeEntryName(reinterpret_cast<const char*>(x.chunk), nameLength) ? ExtractionStep::kCreateFailed
                                                                                  : ExtractionStep::kNameUnsafe;

  const int32_t size = LoadInt32(x.chunk + nameLength);
  x.name = reinterpret_cast<const char*>(x.chunk);
  x.entrySize = size;
  if (size > 0 && x.runningTotal > INT32_MAX - size) {
    Fail(x, ExtractionStep::kSizesPast2GiB);
    return EntryResult::kFailed;
  }
  x.runningTotal += size;

  if (!x.Read(x.info, kInfoLength)) {
    Fail(x, ExtractionStep::kInfoCut);
    return EntryResult::kFailed;
  }
  Transform(x, x.info, kInfoLength);
  x.infoRead = true;
  Notify(x, ExtractionStep::kEntry);

  const FileHandle file = refusal == ExtractionStep::kCreateFailed
                              ? x.files.Create(x.path, x.prefixLength, x.reader.creationDisposition)
                              : NoFileHandle();
  if (file == NoFileHandle()) {
    Fail(x, refusal);
    return EntryResult::kFailed;
  }
  ++x.fileCount;

  const bool complete = ExtractChunks(x, file, size);
  // Even a file whose chunks failed keeps what was written, with its times
  // and attributes.
  x.files.Finish(file, x.path, DecodeInfo(x.info));
  return complete ? EntryResult::kExtracted : EntryResult::kFailed;
}

// Everything after the block size: owns the chunk buffer and the codec.
bool ExtractEntries(Extraction& x, const char* folder) {
  // A chunk buffer that cannot be had means the archive cannot be read; the
  // archive itself is not at fault, hence a read error, not a format error.
  uint8_t* chunk = new (std::nothrow) uint8_t[static_cast<uint32_t>(x.blockSize) + kBufferSlack];
  if (chunk == nullptr) return Fail(x, ExtractionStep::kNoChunkBuffer);
  BlockCodec codec;
  x.codec = &codec;
  x.chunk = chunk;

  // A folder too long for even a one-byte name leaves the prefix unused:
  // every entry is then refused as not fitting.
  x.prefixLength = static_cast<int>(std::strlen(folder)) + 1;
  if (x.prefixLength < kPathCapacity) {
    std::memcpy(x.path, folder, x.prefixLength - 1);
    x.path[x.prefixLength - 1] = '\\';
    x.path[x.prefixLength] = '\0';
  } else {
    x.prefixLength = kPathCapacity;
  }
  for (;;) {
    const EntryResult result = ExtractEntry(x);
    if (result == EntryResult::kEndOfList) break;
    if (result == EntryResult::kFailed) {
      x.runningTotal = -1;
      break;
    }
  }
  delete[] chunk;
  x.chunk = nullptr;
  x.codec = nullptr;

  // An archive without entries, or only empty ones, fails with no text.
  if (x.runningTotal <= 0) return false;
  if (x.report != nullptr) {
    x.report->fileCount = x.fileCount;
    ComposeMessage(x.report->message, kComplete, "", x.fileCount);
  }
  ReportProgress(x);
  return true;
}

bool ExtractAll(Extraction& x, const char* folder) {
  if (x.report != nullptr) std::memset(x.report, 0, sizeof(*x.report));
  return ReadHeader(x) && ReadBlockSize(x) && ExtractEntries(x, folder);
}

}  // namespace

bool ArchiveFitsIn(const uint8_t* archive, uint32_t length) {
  if (archive == nullptr || length < static_cast<uint32_t>(kHeaderLength)) return false;
  // These are refused right after the header is read.
  if (std::memcmp(archive + kMagicOffset, kMagic, kMagicLength) != 0) return true;
  const int32_t size = LoadInt32(archive + kSizeFieldOffset);
  if (size <= 0 || size > INT32_MAX - kSizeFieldEnd) return true;
  return static_cast<uint32_t>(size + kSizeFieldEnd) <= length;
}

int64_t ClaimedArchiveLength(const uint8_t* archive) {
  return int64_t{LoadInt32(archive + kSizeFieldOffset)} + kSizeFieldEnd;
}

int DataTransform::Reserved1(uint8_t*, int) { return 0; }
int DataTransform::Reserved2(uint8_t*, int) { return 0; }

PackReader::~PackReader() {}

// Aimed before the extraction starts, on its thread or before that thread
// exists; only a detach may come from elsewhere while it runs.
void PackReader::SetProgressTarget(ProgressReceiver* receiver) {
  std::atomic_ref<ProgressReceiver*>(progressTarget_).store(receiver, std::memory_order_relaxed);
}

int PackReader::ExtractFromMemory(const uint8_t* archive, const char* folder, UnpackReport* report) {
  return Extract(archive, nullptr, folder, report);
}

int PackReader::ExtractFromSource(ArchiveSource& source, const char* folder, UnpackReport* report) {
  return Extract(nullptr, &source, folder, report);
}

int PackReader::Extract(const uint8_t* archive, ArchiveSource* source, const char* folder, UnpackReport* report) {
  Extraction extraction{.reader = *this,
                        .progressTarget = progressTarget_,
                        .files = *fileSink_,
                        .observer = observer_,
                        .report = report,
                        .archive = archive,
                        .source = source};
  if (!ExtractAll(extraction, folder)) return 0;
  if (report != nullptr) report->byteTotal = extraction.total;
  return 1;
}
