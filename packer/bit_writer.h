// Writes bit fields into a buffer, most significant bit first, the order in
// which the block decoder reads them.
#pragma once

#include <cstdint>

class BitWriter {
 public:
  // The buffer must hold every byte that will be written.
  explicit BitWriter(uint8_t* at) : at_(at) {}
  virtual ~BitWriter() = default;

  // Appends the low `width` bits of value (width 0 to 32; value below 2^width).
  void Put(uint32_t value, int width) {
    pending_ = pending_ << width | value;
    pendingBits_ += width;
    if (pendingBits_ >= 32) {
      pendingBits_ -= 32;
      // The 32 oldest pending bits; older ones were written already and are
      // cut off by the narrowing.
      const uint32_t word = static_cast<uint32_t>(pending_ >> pendingBits_);
      at_[0] = static_cast<uint8_t>(word >> 24);
      at_[1] = static_cast<uint8_t>(word >> 16);
      at_[2] = static_cast<uint8_t>(word >> 8);
      at_[3] = static_cast<uint8_t>(word);
      at_ += 4;
    }
  }

  // Writes what is pending, the last partial byte padded with zero bits, and
  // returns the end of the written bytes.
  uint8_t* Flush() {
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      *at_++ = static_cast<uint8_t>(pending_ >> pendingBits_);
    }
    if (pendingBits_ > 0) *at_++ = static_cast<uint8_t>(pending_ << (8 - pendingBits_));
    pending_ = 0;
    pendingBits_ = 0;
    return at_;
  }

 private:
  uint8_t* at_;
  uint64_t pending_ = 0;  // the low pendingBits_ bits are not yet written
  int pendingBits_ = 0;   // 0 to 31 between calls
};
