#include "pe/resource_tree.h"

#include <cstring>
#include <set>

#include "pe/pe_bytes.h"

namespace {

constexpr uint32_t kTableSize = 16;
constexpr uint32_t kEntrySize = 8;
constexpr uint32_t kDataEntrySize = 16;
// In an entry's name field: the rest is a name's offset, not an id. In its
// data field: the rest is a table's offset, not a data entry's.
constexpr uint32_t kHighBit = 0x80000000u;
constexpr int kLevels = 3;  // type, name, language

// Walks the tree from the root, each table and data entry once. Offsets
// are relative to the resource directory's start (`base`); `limit` bytes
// of the section follow it in the file.
class TreeReader {
 public:
  TreeReader(const PeImage& image, uint32_t baseOffset, uint32_t limit, ResourceTree& tree, std::string& error)
      : image_(image),
        base_(image.file.data() + baseOffset),
        baseOffset_(baseOffset),
        limit_(limit),
        budget_(2 * uint64_t{limit}),
        tree_(tree),
        error_(error) {}

  bool ReadTable(uint32_t offset, int level, int& index) {
    if (!seenTables_.insert(offset).second) {
      return Fail(offset, "a directory table reached twice (a loop or a shared subtree)");
    }
    if (!Holds(offset, kTableSize)) return Fail(offset, "a directory table past the end of the resource section");
    const uint8_t* at = base_ + offset;
    const uint32_t namedCount = LoadUint16(at + 12);
    const uint32_t count = namedCount + LoadUint16(at + 14);
    if (!Holds(offset, kTableSize + uint64_t{count} * kEntrySize)) {
      return Fail(offset, "a directory table's " + std::to_string(count) +
                              " entries run past the end of the resource section");
    }
    if (!Spend(kTableSize + uint64_t{count} * kEntrySize, offset)) return false;
    index = static_cast<int>(tree_.directories.size());
    tree_.directories.emplace_back();
    ResourceDirectoryTable table;
    table.characteristics = LoadUint32(at);
    table.timeDateStamp = LoadUint32(at + 4);
    table.majorVersion = LoadUint16(at + 8);
    table.minorVersion = LoadUint16(at + 10);
    table.entries.reserve(count);  // the table's bytes hold that many
    for (uint32_t i = 0; i < count; i++) {
      const uint32_t entryOffset = offset + kTableSize + i * kEntrySize;
      const uint32_t nameField = LoadUint32(base_ + entryOffset);
      const uint32_t dataField = LoadUint32(base_ + entryOffset + 4);
      ResourceEntry entry;
      entry.named = (nameField & kHighBit) != 0;
      if (entry.named != (i < namedCount)) {
        return Fail(entryOffset, entry.named ? "a named entry among the id entries" : "an id entry among the named entries");
      }
      if (entry.named) {
        if (!ReadName(nameField & ~kHighBit, entry.name)) return false;
      } else {
        entry.id = nameField;
      }
      const bool toTable = (dataField & kHighBit) != 0;
      if (toTable != (level < kLevels)) {
        return Fail(entryOffset, toTable ? "a fourth level in the resource tree"
                                         : "data where the resource tree needs a type or name level");
      }
      if (toTable ? !ReadTable(dataField & ~kHighBit, level + 1, entry.directory) : !ReadLeaf(dataField, entry.leaf)) {
        return false;
      }
      table.entries.push_back(std::move(entry));
    }
    tree_.directories[static_cast<size_t>(index)] = std::move(table);
    return true;
  }

 private:
  bool Holds(uint64_t offset, uint64_t length) const { return offset <= limit_ && length <= limit_ - offset; }

  bool Fail(uint64_t offset, const std::string& what) {
    error_ = "resources, file offset " + std::to_string(baseOffset_ + offset) + ": " + what;
    return false;
  }

  // Structures that do not overlap cannot add up to more than the section;
  // the budget stops overlapping ones from costing time without end.
  bool Spend(uint64_t bytes, uint64_t offset) {
    if (bytes > budget_) return Fail(offset, "structures that overlap each other");
    budget_ -= bytes;
    return true;
  }

  bool ReadName(uint32_t offset, std::u16string& name) {
    if (!Holds(offset, 2)) return Fail(offset, "a name past the end of the resource section");
    const uint32_t length = LoadUint16(base_ + offset);
    if (!Holds(offset, 2 + uint64_t{length} * 2)) {
      return Fail(offset, "a name of " + std::to_string(length) + " characters runs past the end of the resource section");
    }
    if (!Spend(2 + uint64_t{length} * 2, offset)) return false;
    name.resize(length);
    for (uint32_t i = 0; i < length; i++) name[i] = static_cast<char16_t>(LoadUint16(base_ + offset + 2 + 2 * i));
    return true;
  }

  bool ReadLeaf(uint32_t offset, int& index) {
    if (!seenLeaves_.insert(offset).second) return Fail(offset, "a data entry reached twice");
    if (!Holds(offset, kDataEntrySize)) return Fail(offset, "a data entry past the end of the resource section");
    if (!Spend(kDataEntrySize, offset)) return false;
    const uint8_t* at = base_ + offset;
    ResourceLeaf leaf{LoadUint32(at), LoadUint32(at + 4), LoadUint32(at + 8), LoadUint32(at + 12)};
    uint32_t ignored;
    if (!image_.FileOffsetOf(leaf.rva, leaf.size, ignored)) {
      return Fail(offset, "resource data of " + std::to_string(leaf.size) + " bytes at RVA " +
                              std::to_string(leaf.rva) + " lies outside the file's sections");
    }
    index = static_cast<int>(tree_.leaves.size());
    tree_.leaves.push_back(leaf);
    return true;
  }

  const PeImage& image_;
  const uint8_t* base_;
  uint32_t baseOffset_;
  uint32_t limit_;
  uint64_t budget_;
  ResourceTree& tree_;
  std::string& error_;
  std::set<uint32_t> seenTables_;
  std::set<uint32_t> seenLeaves_;
};

}  // namespace

bool ReadResourceTree(const PeImage& image, ResourceTree& tree, std::string& error) {
  tree = ResourceTree{};
  const PeDataDirectory directory = image.Directory(kResourceDirectory);
  if (directory.rva == 0 || directory.size == 0) {
    error = "the image has no resources";
    return false;
  }
  const int index = image.SectionAt(directory.rva);
  if (index < 0) {
    error = "the resource directory at RVA " + std::to_string(directory.rva) + " lies outside every section";
    return false;
  }
  const PeSection& section = image.sections[static_cast<size_t>(index)];
  const uint32_t inSection = directory.rva - section.virtualAddress;
  if (inSection >= section.FileBackedSize()) {
    error = "the resource directory at RVA " + std::to_string(directory.rva) + " lies past its section's data";
    return false;
  }
  TreeReader reader(image, section.rawOffset + inSection, section.FileBackedSize() - inSection, tree, error);
  int root;
  return reader.ReadTable(0, 1, root);
}

void WriteResourceSectionAround(const ResourceTree& tree, const std::vector<std::span<const uint8_t>>& data,
                                uint32_t sectionRva, const ResourceHole& hole, std::vector<uint8_t>& before,
                                std::vector<uint8_t>& after) {
  auto sizeOf = [&](size_t leaf) -> uint64_t {
    return static_cast<int>(leaf) == hole.leaf ? hole.size : data[leaf].size();
  };
  std::vector<size_t> order = {0};
  for (size_t i = 0; i < order.size(); i++) {
    for (const ResourceEntry& entry : tree.directories[order[i]].entries) {
      if (entry.directory >= 0) order.push_back(static_cast<size_t>(entry.directory));
    }
  }
  uint64_t at = 0;
  std::vector<uint32_t> tableOffset(tree.directories.size());
  for (size_t d : order) {
    tableOffset[d] = static_cast<uint32_t>(at);
    at += kTableSize + kEntrySize * tree.directories[d].entries.size();
  }
  std::vector<uint32_t> leafEntryOffset(tree.leaves.size());
  uint64_t namesSize = 0;
  for (size_t d : order) {
    for (const ResourceEntry& entry : tree.directories[d].entries) {
      if (entry.leaf >= 0) {
        leafEntryOffset[static_cast<size_t>(entry.leaf)] = static_cast<uint32_t>(at);
        at += kDataEntrySize;
      }
      if (entry.named) namesSize += 2 + 2 * entry.name.size();
    }
  }
  uint64_t nameAt = at;
  at = AlignUp(at + namesSize, 8);
  std::vector<uint64_t> dataOffset(tree.leaves.size());
  uint64_t end = at;
  for (size_t i = 0; i < tree.leaves.size(); i++) {
    dataOffset[i] = at;
    end = at + sizeOf(i);
    at = AlignUp(end, 8);
  }

  // The tables, entries and names all lie before the first leaf's data, so
  // in `before`; a leaf's data lies on the side of the hole it is on.
  const uint64_t holeStart = hole.leaf >= 0 ? dataOffset[static_cast<size_t>(hole.leaf)] : end;
  const uint64_t holeEnd = hole.leaf >= 0 ? holeStart + hole.size : end;
  before.assign(static_cast<size_t>(holeStart), 0);
  after.assign(static_cast<size_t>(end - holeEnd), 0);
  uint8_t* out = before.data();
  for (size_t d : order) {
    const ResourceDirectoryTable& table = tree.directories[d];
    uint8_t* header = out + tableOffset[d];
    uint16_t namedCount = 0;
    for (const ResourceEntry& entry : table.entries) namedCount += entry.named ? 1 : 0;
    StoreUint32(header, table.characteristics);
    StoreUint32(header + 4, table.timeDateStamp);
    StoreUint16(header + 8, table.majorVersion);
    StoreUint16(header + 10, table.minorVersion);
    StoreUint16(header + 12, namedCount);
    StoreUint16(header + 14, static_cast<uint16_t>(table.entries.size() - namedCount));
    for (size_t i = 0; i < table.entries.size(); i++) {
      const ResourceEntry& entry = table.entries[i];
      uint8_t* slot = header + kTableSize + kEntrySize * i;
      if (entry.named) {
        StoreUint32(slot, kHighBit | static_cast<uint32_t>(nameAt));
        StoreUint16(out + nameAt, static_cast<uint16_t>(entry.name.size()));
        for (size_t c = 0; c < entry.name.size(); c++) StoreUint16(out + nameAt + 2 + 2 * c, entry.name[c]);
        nameAt += 2 + 2 * entry.name.size();
      } else {
        StoreUint32(slot, entry.id);
      }
      if (entry.directory >= 0) {
        StoreUint32(slot + 4, kHighBit | tableOffset[static_cast<size_t>(entry.directory)]);
      } else {
        StoreUint32(slot + 4, leafEntryOffset[static_cast<size_t>(entry.leaf)]);
      }
    }
  }
  for (size_t i = 0; i < tree.leaves.size(); i++) {
    uint8_t* entry = out + leafEntryOffset[i];
    StoreUint32(entry, static_cast<uint32_t>(sectionRva + dataOffset[i]));
    StoreUint32(entry + 4, static_cast<uint32_t>(sizeOf(i)));
    StoreUint32(entry + 8, tree.leaves[i].codePage);
    StoreUint32(entry + 12, tree.leaves[i].reserved);
    if (static_cast<int>(i) == hole.leaf || data[i].empty()) continue;
    uint8_t* place = dataOffset[i] < holeStart ? out + dataOffset[i] : after.data() + (dataOffset[i] - holeEnd);
    std::memcpy(place, data[i].data(), data[i].size());
  }
}
