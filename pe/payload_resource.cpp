#include "pe/payload_resource.h"

#include <cstring>

#include "base/escaped_bytes.h"
#include "pe/pe_bytes.h"
#include "pe/pe_checksum.h"
#include "pe/pe_format.h"
#include "pe/resource_lookup.h"

using namespace pe_format;

namespace {

// The resource section and the installer stay below 2 GiB, as the archive
// does: Windows maps no larger image.
constexpr uint64_t kMaxInstaller = 0x7FFFFFFF;

bool CheckHeaders(const PeImage& image, std::string& error) {
  if (image.magic != kMagicPe32) {
    error = "a 64-bit (PE32+) image; the installer is a 32-bit (PE32) program";
  } else if (image.machine != kMachineI386) {
    error = "an image for machine " + std::to_string(image.machine) + ", not for i386";
  } else if (image.fileAlignment < 512 || image.fileAlignment > 65536) {
    // The reader has checked that both alignments are powers of two.
    error = "a file alignment of " + std::to_string(image.fileAlignment) + " (a power of two from 512 to 65536 is needed)";
  } else {
    const PeDataDirectory certificate = image.Directory(kCertificateDirectory);
    if (certificate.rva == 0 && certificate.size == 0) return true;
    error = "signed (it has a certificate table): add the payload to the unsigned program, then sign the installer";
  }
  return false;
}

// Where the resources lie, and what comes after them: only base
// relocations may, since nothing but their data directory points at them.
bool FindSections(const PeImage& image, PayloadStub& stub, std::string& error) {
  const uint32_t rva = image.Directory(kResourceDirectory).rva;
  const size_t index = static_cast<size_t>(image.SectionAt(rva));
  const PeSection& resources = image.sections[index];
  if (rva != resources.virtualAddress) {
    error = "its resource directory begins inside " + image.SectionLabel(index) + ", not at its start";
    return false;
  }
  stub.resourceSection = index;
  const size_t count = image.sections.size();
  const PeDataDirectory relocations = image.Directory(kRelocationDirectory);
  if (index + 2 == count && relocations.size > 0 && image.SectionAt(relocations.rva) == static_cast<int>(count - 1)) {
    stub.relocationSection = static_cast<int>(count - 1);
  } else if (index + 1 != count) {
    error = "its resources are not in the last section (" + image.SectionLabel(index + 1) + " follows them)";
    return false;
  }
  for (size_t i = 0; i < image.directories.size(); i++) {
    const uint32_t at = image.directories[i].rva;
    if (i == kCertificateDirectory || at == 0) continue;
    const int section = image.SectionAt(at);
    if (section < 0) continue;
    if ((section == static_cast<int>(index) && i != kResourceDirectory) ||
        (section == stub.relocationSection && i != kRelocationDirectory)) {
      error = "data directory " + std::to_string(i) + " points into " + image.SectionLabel(static_cast<size_t>(section)) +
              ", which has to move";
      return false;
    }
  }
  return true;
}

// The resource section's raw data must be the last in the file but for
// the relocations, and nothing may follow the last section.
bool CheckFileLayout(const PeImage& image, const PayloadStub& stub, std::string& error) {
  const PeSection& resources = image.sections[stub.resourceSection];
  for (size_t i = 0; i < image.sections.size(); i++) {
    const PeSection& section = image.sections[i];
    if (i == stub.resourceSection || section.rawSize == 0) continue;
    const bool after = section.rawOffset >= uint64_t{resources.rawOffset} + resources.rawSize;
    if (after != (static_cast<int>(i) == stub.relocationSection)) {
      error = "the data of " + image.SectionLabel(i) + " lies " + (after ? "after" : "before") +
              " the resources in the file, where it cannot stay";
      return false;
    }
  }
  // Padding up to the file alignment after the last section is no overlay.
  const uint64_t end = AlignUp(image.SectionDataEnd(), image.fileAlignment);
  if (image.file.size() > end) {
    error = std::to_string(image.file.size() - end) +
            " bytes follow its last section (an overlay, a symbol table or a certificate): the stub must end with its "
            "last section";
    return false;
  }
  return true;
}

// Every resource's data lies in the section that is rebuilt, and no base
// relocation patches an address there: the data moves.
bool CheckResourcesMove(const PayloadStub& stub, std::string& error) {
  const PeImage& image = stub.image;
  for (const ResourceLeaf& leaf : stub.tree.leaves) {
    if (image.SectionAt(leaf.rva) != static_cast<int>(stub.resourceSection)) {
      error = "resource data at RVA " + std::to_string(leaf.rva) + " lies outside the resource section";
      return false;
    }
  }
  for (const ResourceEntry& type : stub.tree.directories[0].entries) {
    if (type.named && SameResourceNameIgnoringCase(type.name, kPayloadType)) {
      error = "it carries a payload already (it has resources of type \"" + EscapedUtf16(type.name) +
              "\"): use the program without one";
      return false;
    }
  }
  const PeDataDirectory relocations = image.Directory(kRelocationDirectory);
  if (relocations.size == 0) return true;
  uint32_t offset;
  if (!image.FileOffsetOf(relocations.rva, relocations.size, offset)) {
    error = "its base relocations lie outside the file's sections";
    return false;
  }
  const PeSection& resources = image.sections[stub.resourceSection];
  const uint64_t resourcesEnd = AlignUp(uint64_t{resources.virtualAddress} + resources.MemorySize(), image.sectionAlignment);
  for (uint32_t at = 0; at < relocations.size;) {
    const uint8_t* block = image.file.data() + offset + at;
    const uint32_t left = relocations.size - at;
    const uint32_t blockSize = left >= kRelocationBlockHeaderSize ? LoadUint32(block + kRelocationBlockSize) : 0;
    if (blockSize < kRelocationBlockHeaderSize || blockSize > left) {
      error = "a malformed base relocation block at file offset " + std::to_string(offset + at);
      return false;
    }
    const uint32_t page = LoadUint32(block + kRelocationPage);
    if (page >= resources.virtualAddress && page < resourcesEnd) {
      error = "base relocations patch addresses inside the resources, which would move";
      return false;
    }
    at += blockSize;
  }
  return true;
}

}  // namespace

bool FindPayload(std::span<const uint8_t> file, PayloadLocation& where, std::string& error) {
  PeImage image;
  if (!ReadPeImage(file, image, error)) return false;
  const PeDataDirectory directory = image.Directory(kResourceDirectory);
  ResourceTree tree;
  if (directory.rva == 0 || directory.size == 0) {
    error = "an executable without resources, so without a payload";
    return false;
  }
  if (!ReadResourceTree(image, tree, error)) return false;
  FoundResource payload, check;
  switch (LookUpResource(tree, kPayloadType, kPayloadName, payload, error)) {
    case ResourceLookup::kRefused:
      return false;
    case ResourceLookup::kAbsent:
      error = std::string("an executable without the resource \"") + kPayloadResourceName + "\" of type \"" +
              kPayloadResourceType + "\" (an installer without its payload?)";
      return false;
    case ResourceLookup::kFound:
      break;
  }
  where.language = payload.language;
  where.size = payload.leaf->size;
  if (!image.FileOffsetOf(payload.leaf->rva, payload.leaf->size, where.offset)) return false;
  const ResourceLookup checkLookup = LookUpResource(tree, kPayloadType, kPayloadCheckName, check, error);
  if (checkLookup == ResourceLookup::kRefused) return false;
  where.checked = checkLookup == ResourceLookup::kFound;
  if (!where.checked) return true;
  where.checkSize = check.leaf->size;
  return image.FileOffsetOf(check.leaf->rva, check.leaf->size, where.checkOffset);
}

bool CheckPayloadStub(std::span<const uint8_t> stub, PayloadStub& checked, std::string& error) {
  checked = PayloadStub{};
  if (!ReadPeImage(stub, checked.image, error) || !CheckHeaders(checked.image, error)) return false;
  if (!ReadResourceTree(checked.image, checked.tree, error)) return false;
  // The payload's type goes among these, where the installer looks it up.
  if (!CheckNamedEntries(checked.tree.directories[0], "its resource tree", "types", error)) return false;
  return FindSections(checked.image, checked, error) && CheckFileLayout(checked.image, checked, error) &&
         CheckResourcesMove(checked, error);
}

bool PlanInstaller(const PayloadStub& stub, uint64_t payloadSize, std::span<const uint8_t> check, InstallerPlan& plan,
                   std::string& error) {
  const PeImage& image = stub.image;
  const PeSection& resources = image.sections[stub.resourceSection];
  plan = InstallerPlan();
  const std::string tooLarge =
      "a payload of " + std::to_string(payloadSize) + " bytes: the installer would reach 2 GiB";
  if (payloadSize >= kMaxInstaller) {
    error = tooLarge;
    return false;
  }

  // The tree with the payload's type, its names and their language added;
  // every other leaf keeps its bytes.
  ResourceTree tree = stub.tree;
  std::vector<std::span<const uint8_t>> data;
  for (const ResourceLeaf& leaf : tree.leaves) {
    uint32_t offset = 0;
    image.FileOffsetOf(leaf.rva, leaf.size, offset);
    data.push_back(image.file.subspan(offset, leaf.size));
  }
  ResourceDirectoryTable names;
  auto addName = [&](const char16_t* name, std::span<const uint8_t> bytes, uint64_t size) {
    ResourceDirectoryTable languages;
    languages.entries.push_back({false, u"", kPayloadLanguage, -1, static_cast<int>(tree.leaves.size())});
    tree.leaves.push_back({0, static_cast<uint32_t>(size), 0, 0});
    data.push_back(bytes);
    tree.directories.push_back(languages);
    names.entries.push_back({true, name, 0, static_cast<int>(tree.directories.size() - 1), -1});
  };
  // In the loader's order (resource_lookup.h), before the ids: "KORMIT"
  // sorts before "KORMITCRC". The payload's bytes are the caller's to place.
  const ResourceHole hole{static_cast<int>(tree.leaves.size()), payloadSize};
  addName(kPayloadName, {}, payloadSize);
  if (!check.empty()) addName(kPayloadCheckName, check, check.size());
  tree.directories.push_back(names);
  std::vector<ResourceEntry>& types = tree.directories[0].entries;
  size_t position = 0;
  while (position < types.size() && types[position].named && CompareResourceNames(types[position].name, kPayloadType) < 0) {
    position++;
  }
  types.insert(types.begin() + static_cast<std::ptrdiff_t>(position),
               {true, kPayloadType, 0, static_cast<int>(tree.directories.size() - 1), -1});

  std::vector<uint8_t>& head = plan.head;
  std::vector<uint8_t> sectionEnd;
  head.assign(image.file.begin(), image.file.begin() + resources.rawOffset);
  plan.payloadOffset = head.size();
  {
    std::vector<uint8_t> sectionStart;
    WriteResourceSectionAround(tree, data, resources.virtualAddress, hole, sectionStart, sectionEnd);
    plan.payloadOffset += sectionStart.size();
    head.insert(head.end(), sectionStart.begin(), sectionStart.end());
  }
  const uint64_t sectionSize = plan.payloadOffset - resources.rawOffset + payloadSize + sectionEnd.size();
  const uint64_t rawSize = AlignUp(sectionSize, image.fileAlignment);
  const uint64_t relocationsSize =
      stub.relocationSection >= 0 ? image.sections[static_cast<size_t>(stub.relocationSection)].rawSize : 0;
  if (resources.rawOffset + rawSize + relocationsSize > kMaxInstaller) {
    error = tooLarge;
    plan = InstallerPlan();
    return false;
  }
  std::vector<uint8_t>& tail = plan.tail;
  tail = std::move(sectionEnd);
  tail.resize(static_cast<size_t>(rawSize - (sectionSize - tail.size())), 0);
  const uint64_t sectionsEnd = resources.rawOffset + rawSize;
  uint64_t memoryEnd = uint64_t{resources.virtualAddress} + sectionSize;
  if (stub.relocationSection >= 0) {
    const PeSection& relocations = image.sections[static_cast<size_t>(stub.relocationSection)];
    const uint32_t address = static_cast<uint32_t>(AlignUp(memoryEnd, image.sectionAlignment));
    uint8_t* header = head.data() + relocations.headerOffset;
    StoreUint32(header + kSectionVirtualAddress, address);
    if (relocations.rawSize > 0) StoreUint32(header + kSectionRawOffset, static_cast<uint32_t>(sectionsEnd));
    tail.insert(tail.end(), image.file.begin() + relocations.rawOffset,
                image.file.begin() + relocations.rawOffset + relocations.rawSize);
    const uint32_t directoryRva = image.Directory(kRelocationDirectory).rva;
    StoreUint32(head.data() + image.directoriesOffset + kDirectorySize * kRelocationDirectory,
                directoryRva - relocations.virtualAddress + address);
    memoryEnd = uint64_t{address} + relocations.MemorySize();
  }
  uint8_t* optional = head.data() + image.optionalHeaderOffset;
  uint8_t* header = head.data() + resources.headerOffset;
  StoreUint32(header + kSectionVirtualSize, static_cast<uint32_t>(sectionSize));
  StoreUint32(header + kSectionRawSize, static_cast<uint32_t>(rawSize));
  // SizeOfInitializedData grows by what the section grows in memory, as the
  // linker counts it.
  const uint64_t growth = AlignUp(sectionSize, image.sectionAlignment) -
                          AlignUp(resources.MemorySize(), image.sectionAlignment);
  StoreUint32(optional + kOptionalInitializedDataSize,
              LoadUint32(optional + kOptionalInitializedDataSize) + static_cast<uint32_t>(growth));
  StoreUint32(optional + kOptionalImageSize, static_cast<uint32_t>(AlignUp(memoryEnd, image.sectionAlignment)));
  StoreUint32(head.data() + image.directoriesOffset + kDirectorySize * kResourceDirectory + kDirectorySizeField,
              static_cast<uint32_t>(sectionSize));
  // Summed as zeros; the caller stores the sum there once the payload has
  // passed.
  plan.checkSumOffset = image.CheckSumOffset();
  StoreUint32(head.data() + plan.checkSumOffset, 0);
  plan.payloadSize = payloadSize;
  return true;
}

uint64_t LargestPayload(const PayloadStub& stub, uint32_t checkSize) {
  // The installer grows with its payload: the largest that still fits is
  // found by halving, each step a plan of a few kilobytes.
  const std::vector<uint8_t> check(checkSize, 0);
  uint64_t fits = 0, tooLarge = kMaxInstaller;
  InstallerPlan plan;
  std::string error;
  while (tooLarge - fits > 1) {
    const uint64_t middle = fits + (tooLarge - fits) / 2;
    (PlanInstaller(stub, middle, check, plan, error) ? fits : tooLarge) = middle;
  }
  return fits;
}

bool AddPayload(const PayloadStub& stub, std::span<const uint8_t> payload, std::span<const uint8_t> check,
                std::vector<uint8_t>& installer, PayloadLocation& where, std::string& error) {
  InstallerPlan plan;
  if (!PlanInstaller(stub, payload.size(), check, plan, error)) return false;
  PeCheckSumAccumulator sum;
  sum.Add(plan.head);
  sum.Add(payload);
  sum.Add(plan.tail);
  installer = std::move(plan.head);
  installer.insert(installer.end(), payload.begin(), payload.end());
  installer.insert(installer.end(), plan.tail.begin(), plan.tail.end());
  StoreUint32(installer.data() + plan.checkSumOffset, sum.Finish());

  // Read back as anyone will read it.
  std::string readError;
  if (!FindPayload(installer, where, readError) || where.size != payload.size() ||
      (!payload.empty() && std::memcmp(installer.data() + where.offset, payload.data(), payload.size()) != 0) ||
      where.checked != !check.empty() || where.checkSize != check.size() ||
      (!check.empty() && std::memcmp(installer.data() + where.checkOffset, check.data(), check.size()) != 0)) {
    error = "the installer written does not read back (" + readError + ")";
    installer.clear();
    return false;
  }
  return true;
}
