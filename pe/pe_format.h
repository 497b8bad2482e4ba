// The parts of a PE image that the reader (pe_image.cpp) reads and the
// payload writer (payload_resource.cpp) rewrites: where each field lies,
// in bytes from the start of its header. Every number is little-endian
// (base/little_endian.h).
//
//   DOS header     "MZ", and at 0x3C the file offset of "PE\0\0"
//   file header    20 bytes after the signature
//   optional       PE32 or PE32+, its data directories at its end
//   section table  40 bytes per section, after the optional header
#pragma once

#include <cstddef>
#include <cstdint>

namespace pe_format {

inline constexpr char kDosSignature[] = "MZ";
inline constexpr uint32_t kDosHeaderSize = 64;
inline constexpr uint32_t kDosPeOffsetField = 0x3C;
inline constexpr uint32_t kSignatureSize = 4;  // "PE\0\0"

inline constexpr uint32_t kFileHeaderSize = 20;
inline constexpr uint32_t kFileMachine = 0;
inline constexpr uint32_t kFileSectionCount = 2;
inline constexpr uint32_t kFileOptionalHeaderSize = 16;

inline constexpr uint32_t kOptionalMagic = 0;
inline constexpr uint32_t kOptionalInitializedDataSize = 8;
inline constexpr uint32_t kOptionalSectionAlignment = 32;
inline constexpr uint32_t kOptionalFileAlignment = 36;
inline constexpr uint32_t kOptionalImageSize = 56;
inline constexpr uint32_t kOptionalCheckSum = 64;
// The data directories, each an address and a size, and their count in the
// 4 bytes before them.
inline constexpr uint32_t kPe32Directories = 96;
inline constexpr uint32_t kPe32PlusDirectories = 112;
inline constexpr uint32_t kDirectorySize = 8;
inline constexpr uint32_t kDirectorySizeField = 4;
inline constexpr size_t kMaxDirectories = 16;

inline constexpr uint32_t kSectionHeaderSize = 40;
inline constexpr uint32_t kSectionNameLength = 8;
inline constexpr uint32_t kSectionVirtualSize = 8;
inline constexpr uint32_t kSectionVirtualAddress = 12;
inline constexpr uint32_t kSectionRawSize = 16;
inline constexpr uint32_t kSectionRawOffset = 20;
inline constexpr uint32_t kSectionCharacteristics = 36;

// A block of base relocations: the page it patches, its own size (this
// header included), then its entries.
inline constexpr uint32_t kRelocationPage = 0;
inline constexpr uint32_t kRelocationBlockSize = 4;
inline constexpr uint32_t kRelocationBlockHeaderSize = 8;

}  // namespace pe_format
