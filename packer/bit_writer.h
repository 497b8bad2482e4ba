// Appends bit fields to a byte vector, most significant bit first, the order
// in which the block decoder reads them.
#pragma once

#include <cstdint>
#include <vector>

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  virtual ~BitWriter() = default;

  // Appends the low `width` bits of value (width 0 to 32).
  void Put(uint32_t value, int width) {
    if (width == 0) return;
    pending_ = (pending_ << width) | (value & (width == 32 ? ~0u : (1u << width) - 1));
    pendingBits_ += width;
    while (pendingBits_ >= 8) {
      pendingBits_ -= 8;
      out_.push_back(static_cast<uint8_t>(pending_ >> pendingBits_));
    }
  }

  // Pads the last partial byte with zero bits.
  void Flush() {
    if (pendingBits_ > 0) {
      out_.push_back(static_cast<uint8_t>(pending_ << (8 - pendingBits_)));
      pendingBits_ = 0;
    }
    pending_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t pending_ = 0;  // the low pendingBits_ bits are not yet written
  int pendingBits_ = 0;   // 0 to 7 between calls
};
