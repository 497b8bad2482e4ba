// CRC-32 with zlib's polynomial (reflected 0xEDB88320, inverted before and
// after), so that zlib's crc32() gives the same values. The installer checks
// its whole payload with it before it asks anything, and the user waits for
// that: the bytes go through five interleaved running CRCs ("braids" of
// 32-bit words), whose table lookups do not wait on one another, and the five
// are folded into one at the end.
#pragma once

#include <cstddef>
#include <cstdint>

class Crc32 {
 public:
  // Fills the tables (5 KiB). They are built rather than stored so that
  // they cost the installer's download nothing.
  Crc32();
  // The CRC of `length` more bytes after those that gave `crc` (0 for none).
  uint32_t Update(uint32_t crc, const uint8_t* data, size_t length) const;

 private:
  static constexpr int kBraids = 5;
  static constexpr size_t kStride = kBraids * 4;  // bytes of one round of all braids

  // The register (not inverted) after one more byte.
  [[gnu::always_inline]] uint32_t Byte(uint32_t crc, uint8_t byte) const {
    return (crc >> 8) ^ byte_[(crc ^ byte) & 0xFF];
  }
  // What a word contributes to its braid's next word, one stride on.
  [[gnu::always_inline]] uint32_t Braid(uint32_t word) const {
    return braid_[0][word & 0xFF] ^ braid_[1][(word >> 8) & 0xFF] ^ braid_[2][(word >> 16) & 0xFF] ^
           braid_[3][word >> 24];
  }

  uint32_t byte_[256];  // the register after byte b
  // braid_[j][b]: the register after byte b, standing at byte j of a word,
  // and the zero bytes up to the same braid's next word.
  uint32_t braid_[4][256];
};
