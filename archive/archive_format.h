// The packed archive, as the installer's extractor reads it and filepacker
// writes it. Every number is little-endian (base/little_endian.h).
//
//   offset  length  field
//        0      16  magic "FILE_PACKER 1.00"
//       16       4  coding tag: "/***" for a plain archive; anything else
//                   marks a coded one, whose transform gets its last 3 bytes
//       20       4  size: the container's length less 24 (signed)
//       24       8  signature "QVL-2000" (coded archives: after the transform)
//       32       4  block size, 1024..4,000,000
//       36          the entries, then a 0 byte that ends the list
//
// An entry: name length (1 byte, 1..255), name (code page 932), unpacked size
// (4, signed), the info record (attributes, then creation, last access and
// last write FILETIMEs), then its chunks: a length (4, signed) and that many
// bytes of a coded block, until a length of 0 or less ends them. The sizes
// of all entries add up to less than 2^31.
//
// The format has no checksum. An installer made by filepacker carries one
// beside its payload, outside the archive: archive/payload_check.h.
#pragma once

#include <cstdint>

#include "base/little_endian.h"

namespace archive_format {

inline constexpr char kMagic[] = "FILE_PACKER 1.00";
inline constexpr char kPlainTag[] = "/***";
inline constexpr char kSignature[] = "QVL-2000";
inline constexpr int kMagicLength = 16;
inline constexpr int kTagLength = 4;
inline constexpr int kSignatureLength = 8;

inline constexpr int32_t kMagicOffset = 0;
inline constexpr int32_t kTagOffset = 16;
inline constexpr int32_t kSizeFieldOffset = 20;
inline constexpr int32_t kSignatureOffset = 24;
inline constexpr int32_t kHeaderLength = 32;
inline constexpr int32_t kBlockSizeOffset = 32;
inline constexpr int32_t kEntriesOffset = 36;
// The size field counts from here: the container is size + 24 bytes long.
inline constexpr int32_t kSizeFieldEnd = 24;

inline constexpr int kMaxNameLength = 255;
// Attributes and three FILETIMEs.
inline constexpr int kInfoLength = 28;
inline constexpr int kInfoAttributesOffset = 0;
inline constexpr int kInfoCreationOffset = 4;
inline constexpr int kInfoLastAccessOffset = 12;
inline constexpr int kInfoLastWriteOffset = 20;
// Win32 attribute bits of the info record that other systems give a
// meaning: read-only (no write permission there), and archive, which every
// file packed on POSIX has.
inline constexpr uint32_t kAttributeReadOnly = 0x01;
inline constexpr uint32_t kAttributeArchive = 0x20;

inline constexpr int32_t kMinBlockSize = 1024;
inline constexpr int32_t kMaxBlockSize = 4000000;
// What filepacker writes unless told otherwise.
inline constexpr int32_t kDefaultBlockSize = 200000;
// A chunk may be this much longer than the block it carries; it is also
// the most a chunk may decode to beyond the block size.
inline constexpr int32_t kChunkSlack = 16;
// The extractor's chunk buffer holds block size + this many bytes: room the
// codec may use past a chunk.
inline constexpr int32_t kBufferSlack = 512;

}  // namespace archive_format
