#include "archive/crc32.h"

#include "base/little_endian.h"

Crc32::Crc32() {
  for (uint32_t byte = 0; byte < 256; byte++) {
    uint32_t crc = byte;
    for (int bit = 0; bit < 8; bit++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    byte_[byte] = crc;
  }
  for (int j = 0; j < 4; j++) {
    for (int byte = 0; byte < 256; byte++) {
      uint32_t crc = byte_[byte];
      for (size_t zeros = kStride - j - 1; zeros > 0; zeros--) crc = Byte(crc, 0);
      braid_[j][byte] = crc;
    }
  }
}

uint32_t Crc32::Update(uint32_t crc, const uint8_t* data, size_t length) const {
  crc = ~crc;
  if (length >= 2 * kStride) {
    // Each braid's register is carried into its own next word.
    uint32_t braids[kBraids] = {crc, 0, 0, 0, 0};
    do {
      for (int k = 0; k < kBraids; k++) braids[k] = Braid(LoadUint32(data + 4 * k) ^ braids[k]);
      data += kStride;
      length -= kStride;
    } while (length >= 2 * kStride);
    // The last round folds the five into one, word by word, as a plain CRC
    // of those words would run.
    crc = 0;
    for (int k = 0; k < kBraids; k++, data += 4) {
      crc ^= LoadUint32(data) ^ braids[k];
      for (int byte = 0; byte < 4; byte++) crc = Byte(crc, 0);
    }
    length -= kStride;
  }
  for (; length > 0; data++, length--) crc = Byte(crc, *data);
  return ~crc;
}
