// A PE image's resources as a tree of three levels (type, name, language),
// read with bounds from the image and written back as the bytes of a
// resource section.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pe/pe_image.h"

struct ResourceEntry {
  bool named = false;
  std::u16string name;  // when named
  uint32_t id = 0;      // the entry's 32-bit name field, when not named
  int directory = -1;   // index into ResourceTree::directories (types and names)
  int leaf = -1;        // index into ResourceTree::leaves (languages)
};

struct ResourceDirectoryTable {
  // Kept as the image has them; a table made here has zeros.
  uint32_t characteristics = 0;
  uint32_t timeDateStamp = 0;
  uint16_t majorVersion = 0;
  uint16_t minorVersion = 0;
  std::vector<ResourceEntry> entries;  // named ones first, as stored
};

struct ResourceLeaf {
  uint32_t rva = 0;
  uint32_t size = 0;
  uint32_t codePage = 0;
  uint32_t reserved = 0;
};

struct ResourceTree {
  std::vector<ResourceDirectoryTable> directories;  // [0] is the root (types)
  std::vector<ResourceLeaf> leaves;  // in the order they were met
};

// Reads the tree that the resource data directory points at. Refuses
// offsets outside the section, a tree that is not three levels deep, a
// table or data entry reached twice (which is how a loop or a shared
// subtree shows), entry counts that do not fit, names past the end, leaf
// data outside the file, and trees whose structures add up to more than
// twice the section's bytes (which only overlapping ones can).
bool ReadResourceTree(const PeImage& image, ResourceTree& tree, std::string& error);

// One leaf whose bytes the caller places itself (a payload too large to be
// held in memory): only its size is taken, and data[leaf] is not read.
struct ResourceHole {
  int leaf = -1;  // none
  uint64_t size = 0;
};

// The resource section that holds `tree`, to be placed at sectionRva: the
// tables level by level, the data entries, the names, then each leaf's
// bytes from `data` (one span per leaf) on an 8-byte boundary, in leaf
// order. Deterministic: the same tree and data give the same bytes. It
// comes in two parts around the hole: `before` ends where the hole's data
// begins, `after` begins right after its last byte. Without a hole,
// `before` is the whole section and `after` is empty.
void WriteResourceSectionAround(const ResourceTree& tree, const std::vector<std::span<const uint8_t>>& data,
                                uint32_t sectionRva, const ResourceHole& hole, std::vector<uint8_t>& before,
                                std::vector<uint8_t>& after);
