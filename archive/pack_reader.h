// The archive extractor: reads a packed archive held in memory front to back
// and recreates its files, with their times and attributes, in a folder.
#pragma once

#include <cstdint>

#include "archive/platform/platform.h"
#include "base/installer_rules.h"

// The outcome of one extraction. Cleared by the extractor when given; file
// count and byte total are written only on success.
struct UnpackReport {
  int32_t fileCount;
  int32_t reserved;    // never written
  int32_t byteTotal;   // the container's length (size field + 24)
  int32_t coderError;  // 1 when a coded archive was refused
  char message[516];   // outcome text, code page 932, NUL-terminated
};

// Turns the coded ranges of a coded archive back into plain bytes, in place.
// The extractor never creates or deletes one, hence no public destructor.
class DataTransform {
 public:
  // Given a copy of the coding tag's last three bytes; 0 refuses the archive.
  // The bytes must come back unchanged.
  virtual int Prepare(uint8_t* bytes, int count) = 0;
  // The two middle operations belong to the coding side; never called here.
  virtual int Reserved1(uint8_t* bytes, int count);
  virtual int Reserved2(uint8_t* bytes, int count);
  // Transforms count bytes in place; the result is ignored.
  virtual int Apply(uint8_t* bytes, int count) = 0;

 protected:
  ~DataTransform() = default;
};

// What the extractor meets, step by step, for a caller that wants to say
// where an archive goes wrong and why (the packager's tools). The installer
// sets no observer: its outcome is the report's text alone.
enum class ExtractionStep : int32_t {
  // The walk going well.
  kHeader,  // the header and the block size are read and accepted
  kEntry,   // an entry's name, size and info record are read; its file is created next
  kChunk,  // a chunk is decoded and written
  // Failures, each ending the extraction. "Cut": the read would pass the
  // size field's bound.
  kHeaderCut,
  kWrongMagic,
  kSizeNotPositive,
  kCodedWithoutTransform,
  kCodedTagRefused,   // Prepare returned 0
  kCodedTagAltered,   // Prepare changed the tag
  kCodedSignature,    // the signature after Apply
  kWrongSignature,
  kSizeTooLarge,      // size + 24 would not fit 32 bits
  kBlockSizeCut,
  kBlockSizeOutOfRange,
  kNoChunkBuffer,
  kEntryCut,          // the name length or end-of-list marker
  kEntryHeadCut,      // the name and unpacked size
  kSizesPast2GiB,     // the unpacked sizes add up past INT32_MAX
  kInfoCut,
  kPathTooLong,       // folder, "\", name and NUL pass 260 bytes
  kNameUnsafe,        // refused by CheckEntryName
  kCreateFailed,      // the file sink could not create the file
  kChunkLengthCut,
  kChunkTooLong,      // above block size + 16
  kChunksEndEarly,    // a terminating length before the unpacked size is reached
  kChunkDataCut,
  kChunkNotDecoded,   // value: the codec's result (<= 0), or more than remained
  kWriteFailed,       // value: what the file sink wrote
};

// The step, where it happened, and every field read so far, decoded, so
// that an observer never reads the archive's bytes itself. Fields not read
// yet are 0 (name: null).
struct ExtractionEvent {
  ExtractionStep step;
  int32_t start;     // container offset of the current entry or chunk; 0 before the first entry
  int32_t position;  // container bytes consumed so far: where a read that failed began
  int32_t value;     // kChunk: its decoded length; kChunkNotDecoded, kWriteFailed: see above
  // Failures: container offset of the element at fault (the header field,
  // the entry, its size or info record, the chunk); -1 for kNoChunkBuffer.
  int32_t faultOffset;
  int32_t end;        // where the size field ends the container, once it is read
  int32_t sizeField;
  int32_t blockSize;  // also when out of range
  int32_t entry;      // the current entry, from 1; 0 before the first
  int32_t chunk;      // its current chunk, from 1; 0 outside its chunk list
  int32_t nameLength;
  const char* name;   // nameLength bytes of code page 932, from the entry's head until its chunks
  int32_t entrySize;  // its unpacked size
  EntryInfo info;     // its info record, from kEntry on
  int32_t chunkLength;  // the current chunk's length field
};

// Receives each step as it happens, on the extracting thread.
// Like a file sink, it must not throw.
class ExtractionObserver {
 public:
  virtual void OnEvent(const ExtractionEvent& event) noexcept = 0;

 protected:
  ~ExtractionObserver() = default;
};

// Told of progress on the extracting thread, after every chunk written and
// once more when an extraction succeeds: how many of the container's bytes
// are read (position) of how many it holds (total). It must be quick and
// must not throw: the installer posts it to its dialog, filepacker draws its
// bar.
class ProgressReceiver {
 public:
  virtual void OnProgress(int32_t position, int32_t total) noexcept = 0;

 protected:
  ~ProgressReceiver() = default;
};

// The container's bytes for an extraction that does not hold them in
// memory (a file read in pieces). The extractor asks for them front to
// back, each read where the one before ended.
class ArchiveSource {
 public:
  // Copies count bytes of the container from offset on into buffer; false
  // when they cannot be read, which ends the extraction as bytes cut short.
  virtual bool Read(int32_t offset, uint8_t* buffer, int32_t count) noexcept = 0;

 protected:
  ~ArchiveSource() = default;
};

class PackReader {
 public:
  virtual ~PackReader();

  // Where progress goes; null (the default) sends it nowhere. Set before an
  // extraction; another thread may set null while one runs, and no call
  // begins after that (one already under way still ends).
  void SetProgressTarget(ProgressReceiver* receiver);

  // Extracts the archive at `archive` into the existing folder `folder`
  // (no trailing separator). Returns 1 on success, 0 on failure; the reason
  // goes into *report when report is not null.
  int ExtractFromMemory(const uint8_t* archive, const char* folder, UnpackReport* report);
  // The same, the container's bytes read from `source`.
  int ExtractFromSource(ArchiveSource& source, const char* folder, UnpackReport* report);

  // Where extracted files go; the tools hand in a simulated install folder,
  // the tests a failing disk. Not owned.
  void SetFileSink(FileSink& sink) { fileSink_ = &sink; }
  // Told of every entry, chunk and failure when not null; not owned.
  void SetObserver(ExtractionObserver* observer) { observer_ = observer; }

  // Turns a coded archive's ranges back into plain bytes; null refuses coded
  // archives, and opening a plain one sets it back to null. Not owned.
  DataTransform* transform = nullptr;
  uint32_t creationDisposition = kCreateNew;

 private:
  // The two above: the container in memory, or read from source.
  int Extract(const uint8_t* archive, ArchiveSource* source, const char* folder, UnpackReport* report);

  ProgressReceiver* progressTarget_ = nullptr;
  FileSink* fileSink_ = &theSystemFiles;
  ExtractionObserver* observer_ = nullptr;
};

// Whether ExtractFromMemory reads only within `length` bytes at archive:
// it reads the 32-byte header whatever it holds, and beyond that no further
// than the size field allows. A caller that knows how many bytes it holds
// refuses an archive that claims more, instead of letting it be read.
bool ArchiveFitsIn(const uint8_t* archive, uint32_t length);
// The container's length as the size field of the 32-byte header at
// archive gives it.
int64_t ClaimedArchiveLength(const uint8_t* archive);
