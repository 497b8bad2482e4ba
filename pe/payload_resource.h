// The installer's payload: the packed archive that an installer executable
// carries as a resource (base/installer_rules.h names it). Finding it in any
// executable, and adding it to the installer program built without one
// (the stub), which is how filepacker makes installers on any system.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/installer_rules.h"
#include "pe/pe_image.h"
#include "pe/resource_tree.h"

// An ASCII resource name as a resource tree holds it, in UTF-16.
template <size_t N>
struct Utf16ResourceName {
  char16_t text[N] = {};
};
template <size_t N>
constexpr Utf16ResourceName<N> Utf16Name(const char (&ascii)[N]) {
  Utf16ResourceName<N> name;
  for (size_t i = 0; i < N; i++) name.text[i] = static_cast<char16_t>(ascii[i]);
  return name;
}
inline constexpr Utf16ResourceName kPayloadTypeUtf16 = Utf16Name(kPayloadResourceType);
inline constexpr Utf16ResourceName kPayloadNameUtf16 = Utf16Name(kPayloadResourceName);
inline constexpr Utf16ResourceName kPayloadCheckNameUtf16 = Utf16Name(kPayloadCheckResourceName);
inline constexpr const char16_t* kPayloadType = kPayloadTypeUtf16.text;
inline constexpr const char16_t* kPayloadName = kPayloadNameUtf16.text;
inline constexpr const char16_t* kPayloadCheckName = kPayloadCheckNameUtf16.text;

struct PayloadLocation {
  uint32_t offset = 0;  // in the file
  uint32_t size = 0;
  uint32_t language = 0;
  bool checked = false;  // whether a check record is there
  uint32_t checkOffset = 0;
  uint32_t checkSize = 0;
};

// Finds the payload in an executable's bytes, in whatever language it has,
// and its check record if it has one, as the installer finds them
// (resource_lookup.h). False, with the reason, when the bytes are no PE
// image that the reader accepts, hold no payload, or hold a resource tree
// in which Windows could find another payload or check record than this.
bool FindPayload(std::span<const uint8_t> file, PayloadLocation& where, std::string& error);

// A stub that has been checked and can take a payload.
struct PayloadStub {
  PeImage image;  // refers to the stub's bytes, which must outlive it
  ResourceTree tree;
  size_t resourceSection = 0;
  int relocationSection = -1;  // the base relocations after the resources, if any
};

// Checks that `stub` can take the payload: a PE32 image for i386, with
// sane alignments, no certificate, nothing after its last section, no
// payload yet, named resource types as the loader's search needs them
// (CheckNamedEntries), and its resources alone in the last section of the
// image, or followed only by its base relocations (which hold no address
// inside the resources). The error says what stands in the way.
bool CheckPayloadStub(std::span<const uint8_t> stub, PayloadStub& checked, std::string& error);

// The installer: the stub with `payload` added as the resource "KORMIT" of
// type "FILESPACK" in language 1041, and `check`, unless empty, beside it as
// "KORMITCRC", its data right after the payload's. The resource section is rebuilt with
// every other resource's bytes unchanged (moved, their data entries
// following them); a relocation section after it moves up behind it; the
// section table, SizeOfImage, SizeOfInitializedData, the two data
// directories and the CheckSum follow. Nothing else of the stub changes,
// and nothing follows the last section. `where` is the payload's place,
// read back from the result.
// The installer of AddPayload for a payload of payloadSize bytes that need
// not be in memory: `head`, then the payload's bytes, then `tail`. The
// CheckSum field, at checkSumOffset in head, is 0: the PE checksum of the
// three (pe_checksum.h) goes there. False, with the reason, when the
// installer would reach 2 GiB.
struct InstallerPlan {
  std::vector<uint8_t> head;
  std::vector<uint8_t> tail;
  uint64_t payloadOffset = 0;  // head's length
  uint64_t payloadSize = 0;
  uint32_t checkSumOffset = 0;
  uint64_t Size() const { return head.size() + payloadSize + tail.size(); }
};
bool PlanInstaller(const PayloadStub& stub, uint64_t payloadSize, std::span<const uint8_t> check, InstallerPlan& plan,
                   std::string& error);

// The largest payload that the stub can carry with a check record of
// checkSize bytes (0: none) and stay below 2 GiB.
uint64_t LargestPayload(const PayloadStub& stub, uint32_t checkSize);

bool AddPayload(const PayloadStub& stub, std::span<const uint8_t> payload, std::span<const uint8_t> check,
                std::vector<uint8_t>& installer, PayloadLocation& where, std::string& error);
