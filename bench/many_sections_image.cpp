// many_sections_image PAYLOAD OUT
// Writes the largest resource lookup a PE image can ask for: 65,535
// sections, the resources in the last, and 786,001 resource leaves: the
// first of type "FILESPACK", name "KORMIT", in one language (as an
// installer must have it), holding the bytes of PAYLOAD, then twelve types
// of 65,500 languages each. Each leaf's data lies in the last section, so
// that a reader that scans the sections for each leaf scans them all.
#include <cstdio>
#include <string>
#include <vector>

#include "pe/pe_bytes.h"

namespace {

constexpr uint32_t kSections = 65535;
constexpr uint32_t kTypes = 13;  // "FILESPACK", then ids 101 to 112
constexpr uint32_t kLanguages = 65500;
constexpr uint32_t kPeOffset = 0x40;
constexpr uint32_t kOptional = kPeOffset + 24;
constexpr uint32_t kSectionTable = kOptional + 0xE0;
constexpr uint32_t kHighBit = 0x80000000u;

void PutName(std::vector<uint8_t>& out, uint32_t at, const std::u16string& name) {
  StoreUint16(out.data() + at, static_cast<uint16_t>(name.size()));
  for (size_t i = 0; i < name.size(); i++) StoreUint16(out.data() + at + 2 + 2 * i, name[i]);
}

uint32_t LanguagesOf(uint32_t type) { return type == 0 ? 1 : kLanguages; }

// The resource section at sectionRva: root, per type a name table and a
// language table, the data entries, two names, then the payload and the
// one byte every other leaf shares.
std::vector<uint8_t> ResourceSection(uint32_t sectionRva, const std::vector<uint8_t>& payload) {
  const uint32_t root = 0, types = 16 + 8 * kTypes;
  uint32_t dataEntries = types, leaves = 0;
  for (uint32_t t = 0; t < kTypes; t++) {
    dataEntries += 24 + 16 + 8 * LanguagesOf(t);
    leaves += LanguagesOf(t);
  }
  const uint32_t names = dataEntries + 16 * leaves;
  const uint32_t payloadAt = static_cast<uint32_t>(AlignUp(names + 20 + 14, 8));
  const uint32_t sharedAt = static_cast<uint32_t>(AlignUp(payloadAt + payload.size(), 8));
  std::vector<uint8_t> out(sharedAt + 8, 0);
  StoreUint16(out.data() + root + 12, 1);
  StoreUint16(out.data() + root + 14, kTypes - 1);
  PutName(out, names, u"FILESPACK");
  PutName(out, names + 20, u"KORMIT");
  uint32_t leaf = 0, nameTable = types;
  for (uint32_t t = 0; t < kTypes; t++) {
    const uint32_t languageTable = nameTable + 24;
    StoreUint32(out.data() + root + 16 + 8 * t, t == 0 ? kHighBit | names : 100 + t);
    StoreUint32(out.data() + root + 20 + 8 * t, kHighBit | nameTable);
    StoreUint16(out.data() + nameTable + (t == 0 ? 12 : 14), 1);
    StoreUint32(out.data() + nameTable + 16, t == 0 ? kHighBit | (names + 20) : 1);
    StoreUint32(out.data() + nameTable + 20, kHighBit | languageTable);
    StoreUint16(out.data() + languageTable + 14, static_cast<uint16_t>(LanguagesOf(t)));
    for (uint32_t l = 0; l < LanguagesOf(t); l++, leaf++) {
      const uint32_t entry = dataEntries + 16 * leaf;
      StoreUint32(out.data() + languageTable + 16 + 8 * l, l + 1);
      StoreUint32(out.data() + languageTable + 20 + 8 * l, entry);
      const bool isPayload = leaf == 0;
      StoreUint32(out.data() + entry, sectionRva + (isPayload ? payloadAt : sharedAt));
      StoreUint32(out.data() + entry + 4, isPayload ? static_cast<uint32_t>(payload.size()) : 1);
    }
    nameTable = languageTable + 16 + 8 * LanguagesOf(t);
  }
  std::copy(payload.begin(), payload.end(), out.begin() + payloadAt);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: many_sections_image PAYLOAD OUT\n");
    return 2;
  }
  std::vector<uint8_t> payload;
  if (std::FILE* in = std::fopen(argv[1], "rb")) {
    for (int c; (c = std::fgetc(in)) != EOF;) payload.push_back(static_cast<uint8_t>(c));
    std::fclose(in);
  } else {
    std::perror(argv[1]);
    return 1;
  }
  const uint32_t resourceRva = 0x1000 * kSections;
  const std::vector<uint8_t> section = ResourceSection(resourceRva, payload);
  const uint32_t resourceRaw = static_cast<uint32_t>(AlignUp(kSectionTable + 40 * kSections, 0x200));
  const uint32_t resourceRawSize = static_cast<uint32_t>(AlignUp(section.size(), 0x200));
  std::vector<uint8_t> image(resourceRaw + resourceRawSize, 0);
  uint8_t* b = image.data();
  b[0] = 'M';
  b[1] = 'Z';
  StoreUint32(b + 0x3C, kPeOffset);
  b[kPeOffset] = 'P';
  b[kPeOffset + 1] = 'E';
  StoreUint16(b + kPeOffset + 4, 0x14C);
  StoreUint16(b + kPeOffset + 6, static_cast<uint16_t>(kSections));
  StoreUint16(b + kPeOffset + 20, 0xE0);
  StoreUint16(b + kPeOffset + 22, 0x102);
  StoreUint16(b + kOptional, 0x10B);
  StoreUint32(b + kOptional + 28, 0x400000);
  StoreUint32(b + kOptional + 32, 0x1000);
  StoreUint32(b + kOptional + 36, 0x200);
  StoreUint32(b + kOptional + 56, static_cast<uint32_t>(AlignUp(uint64_t{resourceRva} + section.size(), 0x1000)));
  StoreUint32(b + kOptional + 60, resourceRaw);
  StoreUint32(b + kOptional + 92, 16);
  StoreUint32(b + kOptional + 96 + 8 * 2, resourceRva);
  StoreUint32(b + kOptional + 96 + 8 * 2 + 4, static_cast<uint32_t>(section.size()));
  for (uint32_t i = 0; i < kSections; i++) {
    uint8_t* header = b + kSectionTable + 40 * i;
    const bool last = i + 1 == kSections;
    header[0] = '.';
    header[1] = last ? 'r' : 'd';
    StoreUint32(header + 8, last ? static_cast<uint32_t>(section.size()) : 0x1000);
    StoreUint32(header + 12, 0x1000 * (i + 1));
    StoreUint32(header + 16, last ? resourceRawSize : 0);
    StoreUint32(header + 20, last ? resourceRaw : 0);
  }
  std::copy(section.begin(), section.end(), image.begin() + resourceRaw);
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr || std::fwrite(image.data(), 1, image.size(), out) != image.size() || std::fclose(out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
