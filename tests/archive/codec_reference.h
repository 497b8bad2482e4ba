// A slow decoder written step by step after the format's own description of
// decoding (digit counters with carries for the code assignment, the code
// value extended one level at a time), with the same answers to malformed
// input as the real decoder. The tests compare the two on many blocks.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace codec_test {

// Returned when the reference finds its own model broken (a symbol index
// outside its list); no real result is this value.
constexpr int32_t kReferenceBroken = -0x7654321;

// The format's reader: a 32-bit accumulator topped up byte by byte.
struct ReferenceReader {
  const uint8_t* current;
  uint32_t accumulator = 0;
  int32_t bitCount = 0;
  int64_t bitsTotal = 0;

  uint32_t Read(int w) {
    if (bitCount < w && bitCount <= 24) {
      while (bitCount <= 24) {
        accumulator = accumulator * 256 + *current++;
        bitCount += 8;
      }
    }
    bitCount -= w;
    const uint32_t value = static_cast<uint32_t>(uint64_t{accumulator} >> bitCount);
    accumulator -= static_cast<uint32_t>(uint64_t{value} << bitCount);
    bitsTotal += w;
    return value;
  }
};

inline int32_t ReferenceDecodeHuffman(uint8_t* buffer, int32_t length, int32_t capacity) {
  if (length < 4) return 0;
  // Room for a whole header (at most 4,096 bits) and the refill's overshoot.
  std::vector<uint8_t> copy(buffer, buffer + length);
  copy.resize(static_cast<size_t>(length) + 600, 0);
  int32_t d;
  std::memcpy(&d, copy.data(), 4);
  if (d > capacity) return 0;
  const int64_t available = (int64_t{length} - 4) * 8;

  ReferenceReader reader{copy.data() + 4};
  std::vector<int> L(256), index(256), step(257), range(257), cnt(256), size(256);
  std::vector<uint32_t> end(256);
  std::vector<int> list(256 * 256, 0);  // list[k][j] at k * 256 + j

  const int g = static_cast<int>(reader.Read(8));
  for (int k = 0; k < g; ++k) L[k] = static_cast<int>(reader.Read(8));
  if (g >= 2) {
    int power = 2, w = 1;
    while (power < g) power *= 2, ++w;
    for (int s = 0; s < 256; ++s) index[s] = static_cast<int>(reader.Read(w));
  }
  if (reader.bitsTotal > available) return 0;  // header cut off
  for (int k = 0; k < g; ++k) {
    const int previous = k == 0 ? 0 : L[k - 1];
    if (L[k] < previous || L[k] >= 32 || L[k] - previous > 25) return 0;
  }

  step[0] = L[0];
  range[0] = 1 << L[0];
  step[g] = 0;
  for (int k = 1; k < g; ++k) {
    step[k] = L[k] - L[k - 1];
    range[k] = 1 << step[k];
  }

  for (int k = 0; k < g; ++k) {
    auto carry = [&](int from) {
      cnt[from] = 0;
      for (int j = from - 1;; --j) {
        if (j < 0) return false;
        if (++cnt[j] < range[j]) return true;
        cnt[j] = 0;
      }
    };
    int c = 0, n = 0;
    for (int s = 0; s < 256; ++s) {
      if (index[s] != k) continue;
      cnt[k] = c;
      list[static_cast<size_t>(k) * 256 + static_cast<size_t>(n++)] = s;
      if (c < range[k]) {
        ++c;
      } else {
        c = 1;
        if (!carry(k)) return 0;
      }
    }
    cnt[k] = c;
    if (k != g - 1 && c >= range[k] && !carry(k)) return 0;
    end[k] = static_cast<uint32_t>(cnt[0]);
    for (int j = 1; j <= k; ++j) end[k] = end[k] * static_cast<uint32_t>(range[j]) + static_cast<uint32_t>(cnt[j]);
    size[k] = n;
  }

  if (d <= 0) return d;
  if (g == 0) return 0;
  for (int32_t i = 0; i < d; ++i) {
    int k = 0;
    // Unsigned: the last level's end value is 2^31 when 31-bit codes fill
    // the code space.
    uint32_t v = reader.Read(step[0]);
    while (v >= end[k]) {
      if (k == g - 1) return 0;  // past the last level's codes
      ++k;
      v = v * static_cast<uint32_t>(range[k]) + reader.Read(step[k]);
    }
    if (reader.bitsTotal > available) return 0;
    const int64_t at = int64_t{size[k]} - end[k] + v;
    if (at < 0 || at >= size[k]) return kReferenceBroken;
    buffer[i] = static_cast<uint8_t>(list[static_cast<size_t>(k) * 256 + static_cast<size_t>(at)]);
  }
  return d;
}

// The run stage as described, with output past the capacity refused.
inline int32_t ReferenceDecodeRuns(uint8_t* buffer, int32_t n, int32_t capacity) {
  if (n < 1 || capacity < 0) return -1;
  if (buffer[0] == 0) {
    if (n - 1 > capacity) return -1;
    std::memmove(buffer, buffer + 1, static_cast<size_t>(n - 1));
    return n - 1;
  }
  if (buffer[0] != 1) return -1;
  if (n == 1) return -1;
  const uint8_t E = buffer[1];
  buffer[n] = E;
  // Operands past the input read zeros here; unchecked literals may run
  // up to n bytes past the capacity.
  std::vector<uint8_t> in(buffer, buffer + n + 1);
  in.resize(static_cast<size_t>(n) + 16, 0);
  std::vector<uint8_t> scratch(static_cast<size_t>(capacity) + static_cast<size_t>(n) + 64);
  int64_t i = 2, o = 0;
  if (n > 2) {
    for (;;) {
      while (in[i] != E) scratch[o++] = in[i++];
      if (i >= n) break;
      const int t = in[i + 1];
      i += 2;
      if (t == 0xFF) {
        scratch[o++] = E;
      } else {
        int P, N;
        if (t < 0x80) {
          P = (t >> 4) + 1;
          N = (t & 0x0F) + 1;
        } else {
          P = ((t >> 4) & 7) + 1;
          N = 16 + 15 * in[i] + (t & 0x0F);
          ++i;
        }
        if (o + N * P > capacity) return -1;
        for (int r = 0; r < N; ++r) {
          for (int p = 0; p < P; ++p) scratch[o++] = in[i + p];
        }
        i += P;
      }
      if (o >= capacity) break;
      if (i >= n) break;
    }
  }
  if (i != n) return -1;
  if (o > capacity) return -1;  // only unchecked literals get here
  std::memcpy(buffer, scratch.data(), static_cast<size_t>(o));
  return static_cast<int32_t>(o);
}

inline int32_t ReferenceDecode(uint8_t* buffer, int32_t length, int32_t capacity) {
  const int32_t r = ReferenceDecodeHuffman(buffer, length, capacity);
  if (r <= 0) return r;
  return ReferenceDecodeRuns(buffer, r, capacity);
}

}  // namespace codec_test
