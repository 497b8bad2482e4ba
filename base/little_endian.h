// Little-endian numbers, as the archive and the PE image store them. Callers
// check the range first; these only assemble and scatter the bytes. On a
// little-endian machine each is one load or store: the decoder's inner
// loops store through StoreUint32 even where only two of the bytes are
// wanted, since one 4-byte store costs less there than a 2-byte one.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline uint32_t LoadUint32(const uint8_t* at) {
  if constexpr (std::endian::native == std::endian::little) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
  } else {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
  }
}

inline uint16_t LoadUint16(const uint8_t* at) { return static_cast<uint16_t>(at[0] | at[1] << 8); }

inline int32_t LoadInt32(const uint8_t* at) { return static_cast<int32_t>(LoadUint32(at)); }

inline uint64_t LoadUint64(const uint8_t* at) { return uint64_t{LoadUint32(at)} | uint64_t{LoadUint32(at + 4)} << 32; }

inline void StoreUint16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

inline void StoreUint32(uint8_t* at, uint32_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(at, &value, sizeof value);
  } else {
    for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

inline void StoreUint64(uint8_t* at, uint64_t value) {
  StoreUint32(at, static_cast<uint32_t>(value));
  StoreUint32(at + 4, static_cast<uint32_t>(value >> 32));
}

// The same, appended to a growing byte container (a vector or a string).
template <typename Bytes>
void AppendUint16(Bytes& bytes, uint16_t value) {
  const size_t at = bytes.size();
  bytes.resize(at + 2);
  StoreUint16(reinterpret_cast<uint8_t*>(&bytes[at]), value);
}

template <typename Bytes>
void AppendUint32(Bytes& bytes, uint32_t value) {
  const size_t at = bytes.size();
  bytes.resize(at + 4);
  StoreUint32(reinterpret_cast<uint8_t*>(&bytes[at]), value);
}

template <typename Bytes>
void AppendUint64(Bytes& bytes, uint64_t value) {
  const size_t at = bytes.size();
  bytes.resize(at + 8);
  StoreUint64(reinterpret_cast<uint8_t*>(&bytes[at]), value);
}
