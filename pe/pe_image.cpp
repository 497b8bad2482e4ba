#include "pe/pe_image.h"

#include <algorithm>
#include <cstring>

#include "base/escaped_bytes.h"
#include "pe/pe_bytes.h"
#include "pe/pe_format.h"

using namespace pe_format;

namespace {

// The loader reads a section's raw data from its offset rounded down to
// this, whatever the file alignment.
constexpr uint32_t kLoaderRawAlignment = 512;

bool Fits(std::span<const uint8_t> file, uint64_t offset, uint64_t length) {
  return offset <= file.size() && length <= file.size() - offset;
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

bool CheckAlignments(const PeImage& image, std::string& error) {
  if (!IsPowerOfTwo(image.fileAlignment)) {
    error = "a file alignment of " + std::to_string(image.fileAlignment) +
            ", which is no power of two (Windows maps no such image)";
  } else if (!IsPowerOfTwo(image.sectionAlignment) || image.sectionAlignment < image.fileAlignment) {
    error = "a section alignment of " + std::to_string(image.sectionAlignment) +
            " (a power of two no smaller than the file alignment is needed)";
  } else {
    return true;
  }
  return false;
}

bool ReadSections(PeImage& image, uint32_t table, uint16_t count, std::string& error) {
  std::span<const uint8_t> file = image.file;
  if (!Fits(file, table, uint64_t{count} * kSectionHeaderSize)) {
    error = "truncated: the table of " + std::to_string(count) + " sections at offset " + std::to_string(table) +
            " runs past the end of the file";
    return false;
  }
  const uint64_t tableEnd = table + uint64_t{count} * kSectionHeaderSize;
  image.sections.reserve(count);
  for (uint16_t i = 0; i < count; i++) {
    const uint8_t* at = file.data() + table + size_t{i} * kSectionHeaderSize;
    PeSection& section = image.sections.emplace_back();
    section.name.assign(reinterpret_cast<const char*>(at), strnlen(reinterpret_cast<const char*>(at), kSectionNameLength));
    section.headerOffset = static_cast<uint32_t>(table + size_t{i} * kSectionHeaderSize);
    section.virtualSize = LoadUint32(at + kSectionVirtualSize);
    section.virtualAddress = LoadUint32(at + kSectionVirtualAddress);
    section.rawSize = LoadUint32(at + kSectionRawSize);
    section.rawOffset = LoadUint32(at + kSectionRawOffset);
    section.characteristics = LoadUint32(at + kSectionCharacteristics);
    const std::string label = image.SectionLabel(i);
    if (section.rawSize > 0 && !Fits(file, section.rawOffset, section.rawSize)) {
      error = "truncated: " + label + " runs past the end of the file";
      return false;
    }
    if (section.rawSize > 0 && section.rawOffset < tableEnd) {
      error = label + " overlaps the headers";
      return false;
    }
    if (section.rawSize > 0 && section.rawOffset % kLoaderRawAlignment != 0) {
      error = label + " has its data at file offset " + std::to_string(section.rawOffset) +
              ", off a multiple of 512, where Windows reads it from offset " +
              std::to_string(section.rawOffset / kLoaderRawAlignment * kLoaderRawAlignment);
      return false;
    }
    if (uint64_t{section.virtualAddress} + section.MemorySize() > UINT32_MAX) {
      error = label + " lies beyond 4 GiB";
      return false;
    }
    if (i > 0) {
      const PeSection& before = image.sections[i - 1u];
      if (section.virtualAddress < uint64_t{before.virtualAddress} + before.MemorySize()) {
        error = label + " overlaps " + image.SectionLabel(i - 1u) + " in memory";
        return false;
      }
    }
    if (section.virtualAddress % image.sectionAlignment != 0) {
      error = label + " begins at RVA " + std::to_string(section.virtualAddress) +
              ", off the section alignment of " + std::to_string(image.sectionAlignment) +
              " (Windows maps no such image)";
      return false;
    }
  }
  // In the file, sections may come in any order, but may not share bytes.
  std::vector<size_t> byOffset;
  for (size_t i = 0; i < image.sections.size(); i++) {
    if (image.sections[i].rawSize > 0) byOffset.push_back(i);
  }
  std::sort(byOffset.begin(), byOffset.end(),
            [&](size_t a, size_t b) { return image.sections[a].rawOffset < image.sections[b].rawOffset; });
  for (size_t k = 1; k < byOffset.size(); k++) {
    const PeSection& first = image.sections[byOffset[k - 1]];
    const PeSection& second = image.sections[byOffset[k]];
    if (uint64_t{first.rawOffset} + first.rawSize > second.rawOffset) {
      error = image.SectionLabel(byOffset[k - 1]) + " and " + image.SectionLabel(byOffset[k]) +
              " overlap in the file";
      return false;
    }
  }
  return true;
}

}  // namespace

int PeImage::SectionAt(uint32_t rva) const {
  // The sections are in address order and do not overlap: only the last
  // one that begins at or below rva can hold it.
  const auto after = std::upper_bound(sections.begin(), sections.end(), rva,
                                      [](uint32_t value, const PeSection& s) { return value < s.virtualAddress; });
  if (after == sections.begin()) return -1;
  const PeSection& section = *(after - 1);
  if (rva - section.virtualAddress >= section.MemorySize()) return -1;
  return static_cast<int>(after - 1 - sections.begin());
}

std::string PeImage::SectionLabel(size_t index) const {
  return "section " + std::to_string(index + 1) + " (\"" + EscapedBytes(sections[index].name) + "\")";
}

bool PeImage::FileOffsetOf(uint32_t rva, uint32_t size, uint32_t& offset) const {
  const int index = SectionAt(rva);
  if (index < 0) return false;
  const PeSection& section = sections[static_cast<size_t>(index)];
  const uint64_t inSection = rva - section.virtualAddress;
  if (inSection + size > section.FileBackedSize()) return false;
  offset = static_cast<uint32_t>(section.rawOffset + inSection);
  return true;
}

uint64_t PeImage::SectionDataEnd() const {
  uint64_t end = 0;
  for (const PeSection& section : sections) {
    if (section.rawSize > 0) end = std::max(end, uint64_t{section.rawOffset} + section.rawSize);
  }
  return end;
}

bool ReadPeImage(std::span<const uint8_t> file, PeImage& image, std::string& error) {
  image = PeImage{};
  image.file = file;
  if (!Fits(file, 0, kDosHeaderSize) || !BeginsWithDosSignature(file)) {
    error = std::string("not a Windows executable (no ") + kDosSignature + " header)";
    return false;
  }
  const uint32_t peOffset = LoadUint32(file.data() + kDosPeOffsetField);
  if (!Fits(file, peOffset, kSignatureSize + kFileHeaderSize)) {
    error = "truncated: the PE header at offset " + std::to_string(peOffset) + " lies past the end of the file";
    return false;
  }
  if (std::memcmp(file.data() + peOffset, "PE\0\0", kSignatureSize) != 0) {
    error = "no PE signature at offset " + std::to_string(peOffset);
    return false;
  }
  image.fileHeaderOffset = peOffset + kSignatureSize;
  const uint8_t* fileHeader = file.data() + image.fileHeaderOffset;
  image.machine = LoadUint16(fileHeader + kFileMachine);
  const uint16_t sectionCount = LoadUint16(fileHeader + kFileSectionCount);
  const uint16_t optionalSize = LoadUint16(fileHeader + kFileOptionalHeaderSize);
  image.optionalHeaderOffset = image.fileHeaderOffset + kFileHeaderSize;
  if (!Fits(file, image.optionalHeaderOffset, optionalSize) || optionalSize < 2) {
    error = "truncated: the optional header runs past the end of the file";
    return false;
  }
  const uint8_t* optional = file.data() + image.optionalHeaderOffset;
  image.magic = LoadUint16(optional + kOptionalMagic);
  uint32_t directoriesAt;
  if (image.magic == kMagicPe32) {
    directoriesAt = kPe32Directories;
  } else if (image.magic == kMagicPe32Plus) {
    directoriesAt = kPe32PlusDirectories;
  } else {
    error = "unknown optional header (magic " + std::to_string(image.magic) + ")";
    return false;
  }
  if (optionalSize < directoriesAt) {
    error = "the optional header is too short (" + std::to_string(optionalSize) + " bytes)";
    return false;
  }
  image.sectionAlignment = LoadUint32(optional + kOptionalSectionAlignment);
  image.fileAlignment = LoadUint32(optional + kOptionalFileAlignment);
  if (!CheckAlignments(image, error)) return false;
  const uint32_t directoryCount = LoadUint32(optional + directoriesAt - 4);
  if (directoryCount > (optionalSize - directoriesAt) / kDirectorySize) {
    error = "the optional header is too short for its " + std::to_string(directoryCount) + " data directories";
    return false;
  }
  image.directoriesOffset = image.optionalHeaderOffset + directoriesAt;
  for (size_t i = 0; i < std::min<size_t>(directoryCount, kMaxDirectories); i++) {
    const uint8_t* at = file.data() + image.directoriesOffset + kDirectorySize * i;
    image.directories.push_back({LoadUint32(at), LoadUint32(at + kDirectorySizeField)});
  }
  return ReadSections(image, image.optionalHeaderOffset + optionalSize, sectionCount, error);
}
