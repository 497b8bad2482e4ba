// A bounded reader of a PE image's headers and section table. Nothing of the
// image is trusted: every offset and size is checked against the file before
// it is used, in 64-bit arithmetic so that no sum wraps. Works on the file's
// bytes as they are, on any system.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pe/pe_format.h"

struct PeSection {
  std::string name;  // up to 8 bytes, as stored
  uint32_t headerOffset = 0;  // of its 40-byte entry in the section table
  uint32_t virtualAddress = 0;
  uint32_t virtualSize = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  uint32_t characteristics = 0;

  // The bytes it takes in memory: its virtual size, or its raw size when a
  // linker left the virtual size at 0.
  uint32_t MemorySize() const { return virtualSize != 0 ? virtualSize : rawSize; }
  // The part of it that the file holds, from rawOffset (which the reader
  // has checked to be where the loader reads it, a multiple of 512). The
  // loader maps a little more, the raw size rounded up to the file
  // alignment: a reading never wider than the loader's refuses more, but
  // never shows other bytes.
  uint32_t FileBackedSize() const { return rawSize < MemorySize() ? rawSize : MemorySize(); }
};

struct PeDataDirectory {
  uint32_t rva = 0;  // a file offset for the certificate table
  uint32_t size = 0;
};

constexpr size_t kResourceDirectory = 2;
constexpr size_t kCertificateDirectory = 4;
constexpr size_t kRelocationDirectory = 5;

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;

struct PeImage {
  std::span<const uint8_t> file;
  uint32_t fileHeaderOffset = 0;  // just after "PE\0\0"
  uint32_t optionalHeaderOffset = 0;
  uint16_t machine = 0;
  uint16_t magic = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t directoriesOffset = 0;  // of the first data directory entry
  std::vector<PeDataDirectory> directories;  // at most 16
  std::vector<PeSection> sections;  // in table order, which is address order

  uint32_t CheckSumOffset() const { return optionalHeaderOffset + pe_format::kOptionalCheckSum; }
  PeDataDirectory Directory(size_t index) const {
    return index < directories.size() ? directories[index] : PeDataDirectory{};
  }
  // The section whose memory holds rva, or -1. Logarithmic in the number
  // of sections.
  int SectionAt(uint32_t rva) const;
  // "section 2 (".rsrc")" for messages, the name's bytes escaped: a
  // hostile image chooses them.
  std::string SectionLabel(size_t index) const;
  // Where the file holds the bytes at [rva, rva + size): false unless they
  // lie whole in the file-backed part of one section.
  bool FileOffsetOf(uint32_t rva, uint32_t size, uint32_t& offset) const;
  // The end of the last section's raw data: what follows is an overlay (a
  // certificate, a symbol table, appended data).
  uint64_t SectionDataEnd() const;
};

// Whether `file` begins with the DOS header's signature, as every Windows
// executable does and no archive: what tells an installer from a bare
// archive before anything else is read.
inline bool BeginsWithDosSignature(std::span<const uint8_t> file) {
  return file.size() >= 2 && file[0] == pe_format::kDosSignature[0] && file[1] == pe_format::kDosSignature[1];
}

// Reads the headers and the section table of `file` (which must outlive
// `image`). Refuses a file without the MZ and PE signatures, headers or a
// section table cut off by the file's end, raw data past the end, and
// sections that overlap in memory or in the file. Refuses, too, what the
// Windows loader would read otherwise: alignments that are no powers of two
// (or a section alignment below the file alignment), a section that begins
// off the section alignment, and raw data that begins off a multiple of 512
// (the loader rounds that offset down, and would read other bytes). The
// error says what is wrong and where, without the file's name.
bool ReadPeImage(std::span<const uint8_t> file, PeImage& image, std::string& error);
