#include "tests/pe/synthetic_pe.h"

#include <cstring>

#include "base/little_endian.h"

namespace {

void Put16At(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value) {
  StoreUint16(&bytes[offset], static_cast<uint16_t>(value));
}

bool SameKey(const std::u16string& a, uint32_t aId, const std::u16string& b, uint32_t bId) {
  return a == b && (!a.empty() || aId == bId);
}

// The resources grouped as the tree's levels: indexes into the flat list.
struct Group {
  size_t first;  // a resource that carries the group's key
  std::vector<size_t> members;
};

std::vector<Group> GroupBy(const std::vector<SyntheticResource>& all, const std::vector<size_t>& members, bool byType) {
  std::vector<Group> groups;
  for (size_t i : members) {
    const SyntheticResource& r = all[i];
    if (!groups.empty() && !(byType ? r.newType : r.newName)) {
      const SyntheticResource& g = all[groups.back().first];
      if (byType ? SameKey(r.type, r.typeId, g.type, g.typeId) : SameKey(r.name, r.nameId, g.name, g.nameId)) {
        groups.back().members.push_back(i);
        continue;
      }
    }
    groups.push_back({i, {i}});
  }
  return groups;
}

// Writes the section depth first: each table followed by its subtrees,
// then the data entries, the names and the data.
class SectionWriter {
 public:
  explicit SectionWriter(const std::vector<SyntheticResource>& all) : all_(all) {}

  std::vector<uint8_t> Write(SyntheticPe& pe) {
    std::vector<size_t> everything;
    for (size_t i = 0; i < all_.size(); i++) everything.push_back(i);
    uint32_t end = LayOut(everything, 1);
    dataEntries_ = end;
    names_ = dataEntries_ + 16 * static_cast<uint32_t>(all_.size());
    uint32_t namesSize = 0;
    for (const auto& table : tables_) {
      for (const auto& entry : table.entries) namesSize += entry.name.empty() ? 0 : 2 + 2 * entry.name.size();
    }
    data_ = (names_ + namesSize + 7) & ~7u;
    uint32_t size = data_;
    for (const SyntheticResource& r : all_) size = ((size + static_cast<uint32_t>(r.data.size())) + 7) & ~7u;
    std::vector<uint8_t> out(size, 0);
    uint32_t nameAt = names_, dataAt = data_;
    for (const auto& table : tables_) {
      uint32_t named = 0;
      for (const auto& entry : table.entries) named += entry.name.empty() ? 0 : 1;
      Put16At(out, table.offset + 12, named);
      Put16At(out, table.offset + 14, static_cast<uint32_t>(table.entries.size()) - named);
      for (size_t i = 0; i < table.entries.size(); i++) {
        const Entry& entry = table.entries[i];
        const uint32_t slot = table.offset + 16 + 8 * static_cast<uint32_t>(i);
        if (entry.name.empty()) {
          Put32At(out, slot, entry.id);
        } else {
          Put32At(out, slot, 0x80000000u | nameAt);
          Put16At(out, nameAt, static_cast<uint32_t>(entry.name.size()));
          for (size_t c = 0; c < entry.name.size(); c++) Put16At(out, nameAt + 2 + 2 * static_cast<uint32_t>(c), entry.name[c]);
          nameAt += 2 + 2 * static_cast<uint32_t>(entry.name.size());
        }
        if (entry.leaf >= 0) {
          const uint32_t dataEntry = dataEntries_ + 16 * static_cast<uint32_t>(entry.leaf);
          Put32At(out, slot + 4, dataEntry);
          const std::string& data = all_[static_cast<size_t>(entry.leaf)].data;
          Put32At(out, dataEntry, SyntheticPe::kResourceRva + dataAt);
          Put32At(out, dataEntry + 4, static_cast<uint32_t>(data.size()));
          std::memcpy(out.data() + dataAt, data.data(), data.size());
          dataAt = (dataAt + static_cast<uint32_t>(data.size()) + 7) & ~7u;
        } else {
          Put32At(out, slot + 4, 0x80000000u | entry.table);
        }
      }
    }
    pe.rootEntries = SyntheticPe::kResourceRaw + 16;
    pe.firstDataEntry = SyntheticPe::kResourceRaw + dataEntries_;
    pe.firstName = SyntheticPe::kResourceRaw + names_;
    return out;
  }

 private:
  struct Entry {
    std::u16string name;
    uint32_t id = 0;
    uint32_t table = 0;
    int leaf = -1;
  };
  struct Table {
    uint32_t offset;
    std::vector<Entry> entries;
  };

  // Places the table of `members` at `at` and its subtrees after it;
  // returns the end.
  uint32_t LayOut(const std::vector<size_t>& members, int level, uint32_t at = 0) {
    const size_t index = tables_.size();
    tables_.push_back({at, {}});
    std::vector<Entry> entries;
    uint32_t end;
    if (level == 3) {
      for (size_t i : members) entries.push_back({all_[i].languageName, all_[i].language, 0, static_cast<int>(i)});
      end = at + 16 + 8 * static_cast<uint32_t>(entries.size());
    } else {
      std::vector<Group> groups = GroupBy(all_, members, level == 1);
      end = at + 16 + 8 * static_cast<uint32_t>(groups.size());
      for (const Group& group : groups) {
        const SyntheticResource& key = all_[group.first];
        Entry entry{level == 1 ? key.type : key.name, level == 1 ? key.typeId : key.nameId, end, -1};
        entries.push_back(entry);
        end = LayOut(group.members, level + 1, end);
      }
    }
    tables_[index].entries = entries;
    return end;
  }

  const std::vector<SyntheticResource>& all_;
  std::vector<Table> tables_;
  uint32_t dataEntries_ = 0, names_ = 0, data_ = 0;
};

}  // namespace

void Put32At(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value) { StoreUint32(&bytes[offset], value); }

uint32_t Get32At(const std::vector<uint8_t>& bytes, uint32_t offset) { return LoadUint32(&bytes[offset]); }

std::vector<SyntheticResource> DefaultResources() {
  return {
      {.type = u"ABC", .name = u"FIRST", .data = "named type, named resource"},
      {.type = u"ZZZ", .nameId = 7, .language = 1033, .data = "odd"},
      {.typeId = 5, .nameId = 101, .data = std::string(182, 'd')},
      {.typeId = 5, .nameId = 126, .data = std::string(194, 'e')},
      {.typeId = 16, .nameId = 1, .data = "version block"},
  };
}

SyntheticPe BuildSyntheticPe(const std::vector<SyntheticResource>& resources, bool relocations) {
  SyntheticPe pe;
  const std::vector<uint8_t> section = SectionWriter(resources).Write(pe);
  const uint32_t resourceRawSize = (static_cast<uint32_t>(section.size()) + 0x1FF) & ~0x1FFu;
  pe.relocationRaw = SyntheticPe::kResourceRaw + resourceRawSize;
  const uint16_t sectionCount = relocations ? 3 : 2;
  std::vector<uint8_t>& b = pe.bytes;
  b.assign(pe.relocationRaw + (relocations ? 0x200 : 0), 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32At(b, 0x3C, SyntheticPe::kPeOffset);
  std::memcpy(b.data() + SyntheticPe::kPeOffset, "PE\0\0", 4);
  const uint32_t fh = SyntheticPe::kFileHeader, opt = SyntheticPe::kOptional;
  Put16At(b, fh, 0x14C);
  Put16At(b, fh + 2, sectionCount);
  Put16At(b, fh + 16, 0xE0);
  Put16At(b, fh + 18, 0x102);
  Put16At(b, opt, 0x10B);
  Put32At(b, opt + 4, 0x200);     // SizeOfCode
  Put32At(b, opt + 8, 0x2000);    // SizeOfInitializedData
  Put32At(b, opt + 16, 0x1000);   // AddressOfEntryPoint
  Put32At(b, opt + 28, 0x400000);  // ImageBase
  Put32At(b, opt + 32, 0x1000);
  Put32At(b, opt + 36, 0x200);
  Put16At(b, opt + 40, 4);
  Put16At(b, opt + 48, 4);
  Put32At(b, opt + 56, relocations ? 0x4000 : 0x3000);  // SizeOfImage
  Put32At(b, opt + 60, 0x200);  // SizeOfHeaders
  Put16At(b, opt + 68, 2);      // GUI
  Put32At(b, opt + 92, 16);
  Put32At(b, SyntheticPe::kDirectories + 8 * 2, SyntheticPe::kResourceRva);
  Put32At(b, SyntheticPe::kDirectories + 8 * 2 + 4, static_cast<uint32_t>(section.size()));

  struct Header {
    const char* name;
    uint32_t virtualSize, address, rawSize, rawOffset;
  } headers[] = {{".text", 0x10, 0x1000, 0x200, 0x200},
                 {".rsrc", static_cast<uint32_t>(section.size()), SyntheticPe::kResourceRva, resourceRawSize,
                  SyntheticPe::kResourceRaw},
                 {".reloc", 12, SyntheticPe::kRelocationRva, 0x200, pe.relocationRaw}};
  for (uint16_t i = 0; i < sectionCount; i++) {
    const uint32_t at = SyntheticPe::SectionHeader(i);
    std::memcpy(b.data() + at, headers[i].name, std::strlen(headers[i].name));
    Put32At(b, at + 8, headers[i].virtualSize);
    Put32At(b, at + 12, headers[i].address);
    Put32At(b, at + 16, headers[i].rawSize);
    Put32At(b, at + 20, headers[i].rawOffset);
  }
  b[0x200] = 0xC3;  // ret
  std::memcpy(b.data() + SyntheticPe::kResourceRaw, section.data(), section.size());
  if (relocations) {
    Put32At(b, SyntheticPe::kDirectories + 8 * 5, SyntheticPe::kRelocationRva);
    Put32At(b, SyntheticPe::kDirectories + 8 * 5 + 4, 12);
    // One block for the page of .text: one HIGHLOW fix-up and padding.
    Put32At(b, pe.relocationRaw, 0x1000);
    Put32At(b, pe.relocationRaw + 4, 12);
    Put16At(b, pe.relocationRaw + 8, 0x3004);
  }
  return pe;
}
