#include "pe/pe_image.h"

#include <algorithm>
#include <cstring>

#include "pe/pe_bytes.h"

namespace {

constexpr uint32_t kFileHeaderSize = 20;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr size_t kMaxDirectories = 16;

bool Fits(std::span<const uint8_t> file, uint64_t offset, uint64_t length) {
  return offset <= file.size() && length <= file.size() - offset;
}

std::string SectionLabel(size_t index, const PeSection& section) {
  return "section " + std::to_string(index + 1) + " (\"" + section.name + "\")";
}

bool ReadSections(PeImage& image, uint32_t table, uint16_t count, std::string& error) {
  std::span<const uint8_t> file = image.file;
  if (!Fits(file, table, uint64_t{count} * kSectionHeaderSize)) {
    error = "truncated: the table of " + std::to_string(count) + " sections at offset " + std::to_string(table) +
            " runs past the end of the file";
    return false;
  }
  const uint64_t tableEnd = table + uint64_t{count} * kSectionHeaderSize;
  for (uint16_t i = 0; i < count; i++) {
    const uint8_t* at = file.data() + table + size_t{i} * kSectionHeaderSize;
    PeSection section;
    section.name.assign(reinterpret_cast<const char*>(at), strnlen(reinterpret_cast<const char*>(at), 8));
    section.headerOffset = static_cast<uint32_t>(table + size_t{i} * kSectionHeaderSize);
    section.virtualSize = LoadUint32(at + 8);
    section.virtualAddress = LoadUint32(at + 12);
    section.rawSize = LoadUint32(at + 16);
    section.rawOffset = LoadUint32(at + 20);
    section.characteristics = LoadUint32(at + 36);
    if (section.rawSize > 0 && !Fits(file, section.rawOffset, section.rawSize)) {
      error = "truncated: " + SectionLabel(i, section) + " runs past the end of the file";
      return false;
    }
    if (section.rawSize > 0 && section.rawOffset < tableEnd) {
      error = SectionLabel(i, section) + " overlaps the headers";
      return false;
    }
    if (uint64_t{section.virtualAddress} + section.MemorySize() > UINT32_MAX) {
      error = SectionLabel(i, section) + " lies beyond 4 GiB";
      return false;
    }
    if (i > 0) {
      const PeSection& before = image.sections.back();
      if (section.virtualAddress < uint64_t{before.virtualAddress} + before.MemorySize()) {
        error = SectionLabel(i, section) + " overlaps " + SectionLabel(i - 1, before) + " in memory";
        return false;
      }
    }
    image.sections.push_back(section);
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
      error = SectionLabel(byOffset[k - 1], first) + " and " + SectionLabel(byOffset[k], second) +
              " overlap in the file";
      return false;
    }
  }
  return true;
}

}  // namespace

int PeImage::SectionAt(uint32_t rva) const {
  for (size_t i = 0; i < sections.size(); i++) {
    const PeSection& section = sections[i];
    if (rva >= section.virtualAddress && rva - section.virtualAddress < section.MemorySize()) {
      return static_cast<int>(i);
    }
  }
  return -1;
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
  if (!Fits(file, 0, 64) || file[0] != 'M' || file[1] != 'Z') {
    error = "not a Windows executable (no MZ header)";
    return false;
  }
  const uint32_t peOffset = LoadUint32(file.data() + 0x3C);
  if (!Fits(file, peOffset, 4 + kFileHeaderSize)) {
    error = "truncated: the PE header at offset " + std::to_string(peOffset) + " lies past the end of the file";
    return false;
  }
  if (std::memcmp(file.data() + peOffset, "PE\0\0", 4) != 0) {
    error = "no PE signature at offset " + std::to_string(peOffset);
    return false;
  }
  image.fileHeaderOffset = peOffset + 4;
  const uint8_t* fileHeader = file.data() + image.fileHeaderOffset;
  image.machine = LoadUint16(fileHeader);
  const uint16_t sectionCount = LoadUint16(fileHeader + 2);
  const uint16_t optionalSize = LoadUint16(fileHeader + 16);
  image.optionalHeaderOffset = image.fileHeaderOffset + kFileHeaderSize;
  if (!Fits(file, image.optionalHeaderOffset, optionalSize) || optionalSize < 2) {
    error = "truncated: the optional header runs past the end of the file";
    return false;
  }
  const uint8_t* optional = file.data() + image.optionalHeaderOffset;
  image.magic = LoadUint16(optional);
  uint32_t directoriesAt;
  if (image.magic == kMagicPe32) {
    directoriesAt = 96;
  } else if (image.magic == kMagicPe32Plus) {
    directoriesAt = 112;
  } else {
    error = "unknown optional header (magic " + std::to_string(image.magic) + ")";
    return false;
  }
  if (optionalSize < directoriesAt) {
    error = "the optional header is too short (" + std::to_string(optionalSize) + " bytes)";
    return false;
  }
  image.sectionAlignment = LoadUint32(optional + 32);
  image.fileAlignment = LoadUint32(optional + 36);
  const uint32_t directoryCount = LoadUint32(optional + directoriesAt - 4);
  if (directoryCount > (optionalSize - directoriesAt) / 8u) {
    error = "the optional header is too short for its " + std::to_string(directoryCount) + " data directories";
    return false;
  }
  image.directoriesOffset = image.optionalHeaderOffset + directoriesAt;
  for (size_t i = 0; i < std::min<size_t>(directoryCount, kMaxDirectories); i++) {
    const uint8_t* at = file.data() + image.directoriesOffset + 8 * i;
    image.directories.push_back({LoadUint32(at), LoadUint32(at + 4)});
  }
  return ReadSections(image, image.optionalHeaderOffset + optionalSize, sectionCount, error);
}
