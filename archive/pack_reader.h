// The archive extractor: reads a packed archive held in memory front to back
// and recreates its files, with their times and attributes, in a folder.
#pragma once

#include <cstdint>

#include "archive/platform/platform.h"

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

class PackReader {
 public:
  virtual ~PackReader();

  void SetProgressTarget(ProgressWindow window, ProgressMessage message);

  // Extracts the archive at `archive` into the existing folder `folder`
  // (no trailing separator). Returns 1 on success, 0 on failure; the reason
  // goes into *report when report is not null.
  int ExtractFromMemory(const uint8_t* archive, const char* folder, UnpackReport* report);

  // Reads exactly count bytes from the file source, or else from the memory
  // source without passing `total`. 1 on success; 0 leaves position alone.
  int Read(void* buffer, int32_t count);

  ProgressWindow progressWindow = nullptr;
  ProgressMessage progressMessage = kDefaultProgressMessage;
  FileHandle fileSource = NoFileHandle();
  const uint8_t* memorySource = nullptr;
  int32_t position = 0;
  int32_t total = 0;
  DataTransform* transform = nullptr;
  uint32_t creationDisposition = kCreateNew;
  // Where extracted files go; tests replace it to simulate write failures.
  const FileSink* fileSink = &theSystemFiles;
};

// Whether ExtractFromMemory reads only within `length` bytes at archive:
// it reads the 32-byte header whatever it holds, and beyond that no further
// than the size field allows. A caller that knows how many bytes it holds
// refuses an archive that claims more, instead of letting it be read.
bool ArchiveFitsIn(const uint8_t* archive, uint32_t length);

// The one extractor of the program; each program that needs it defines it.
extern PackReader thePackReader;
