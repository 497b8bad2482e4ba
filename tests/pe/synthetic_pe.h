// Small PE32 images made by hand for the PE reader's and writer's tests: a
// code section, a resource section laid out depth first (not as the writer
// lays it out), and a relocation section after it, as the linker leaves
// the installer program. The offsets let a test damage one field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SyntheticResource {
  std::u16string type{};  // empty: typeId
  uint32_t typeId = 0;
  std::u16string name{};  // empty: nameId
  uint32_t nameId = 0;
  uint32_t language = 1041;
  std::string data{};
  std::u16string languageName{};  // a named language entry instead of the id
  // A type (name) entry of its own even right after one of the same key:
  // how the hostile trees repeat an entry.
  bool newType = false;
  bool newName = false;
};

struct SyntheticPe {
  std::vector<uint8_t> bytes;
  // Fixed places of the headers.
  static constexpr uint32_t kPeOffset = 0x80;
  static constexpr uint32_t kFileHeader = kPeOffset + 4;
  static constexpr uint32_t kOptional = kFileHeader + 20;
  static constexpr uint32_t kDirectories = kOptional + 96;
  static constexpr uint32_t kSectionTable = kOptional + 0xE0;
  static constexpr uint32_t kResourceRaw = 0x400;  // the root table
  static constexpr uint32_t kResourceRva = 0x2000;
  static constexpr uint32_t kRelocationRva = 0x3000;
  static uint32_t SectionHeader(int index) { return kSectionTable + 40 * static_cast<uint32_t>(index); }
  // In the resource section (file offsets): the root's first entry, and the
  // first data entry with its leaf's data.
  uint32_t rootEntries = 0;
  uint32_t firstDataEntry = 0;
  uint32_t firstName = 0;
  uint32_t relocationRaw = 0;
};

// Named types first, each in name order, then ids, as Windows wants them.
std::vector<SyntheticResource> DefaultResources();

// With relocations, .reloc follows .rsrc and holds one block for .text.
SyntheticPe BuildSyntheticPe(const std::vector<SyntheticResource>& resources = DefaultResources(),
                             bool relocations = true);

void Put32At(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value);
uint32_t Get32At(const std::vector<uint8_t>& bytes, uint32_t offset);
