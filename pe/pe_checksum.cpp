#include "pe/pe_checksum.h"

void PeCheckSumAccumulator::Add(std::span<const uint8_t> bytes) {
  size_t i = 0;
  if ((length_ & 1) != 0 && !bytes.empty()) high_ += bytes[i++];
  uint64_t low = 0, high = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    low += bytes[i];
    high += bytes[i + 1];
  }
  if (i < bytes.size()) low += bytes[i];
  low_ += low;
  high_ += high;
  length_ += bytes.size();
}

uint32_t PeCheckSumAccumulator::Finish() const {
  uint64_t sum = low_ + (high_ << 8);
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + length_);
}

uint32_t PeCheckSum(std::span<const uint8_t> file, uint32_t checkSumOffset) {
  PeCheckSumAccumulator sum;
  const size_t field = checkSumOffset < file.size() ? checkSumOffset : file.size();
  const size_t fieldEnd = file.size() - field < 4 ? file.size() : field + 4;
  static constexpr uint8_t kZeros[4] = {};
  sum.Add(file.first(field));
  sum.Add(std::span<const uint8_t>(kZeros, fieldEnd - field));
  sum.Add(file.subspan(fieldEnd));
  return sum.Finish();
}
