// Big-endian words, as the coded stream's bits are read (most significant
// first), and the byte reversal under them. A machine with a byte-swap
// instruction takes it; WebAssembly has none, and its build says so with
// KORMIT_BYTE_SWAP_BY_SHUFFLE=1: there one SIMD shuffle reverses the 8
// bytes, where the shifts and masks of a plain swap take some twenty
// operations on every load of the decoder's inner loops.
//
// clang 14's WebAssembly back end folds an 8-byte load that feeds the
// shuffle into one v128.load64_splat and loses the load's place among the
// stores around it: in `memcpy(&a, low, 8); memcpy(&b, high, 8); ...
// memcpy(low, &b, 8)` it read `low` after that store had overwritten it,
// so reversing a run gave wrong bytes. An empty asm statement that claims
// to change the value keeps the load a plain i64.load where the source
// put it; the shuffle then starts from i64x2.splat of a local.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#ifndef KORMIT_BYTE_SWAP_BY_SHUFFLE
#define KORMIT_BYTE_SWAP_BY_SHUFFLE 0
#endif

inline uint64_t ByteSwap64(uint64_t value) {
  if constexpr (KORMIT_BYTE_SWAP_BY_SHUFFLE) {
    // In 16-byte vectors: one of 8 bytes would be recognised as a swap
    // and lowered to the shifts again.
    typedef uint8_t Bytes16 __attribute__((vector_size(16)));
    typedef uint64_t Words2 __attribute__((vector_size(16)));
    __asm__("" : "+r"(value));
    const Words2 words = {value, 0};
    const Bytes16 bytes = reinterpret_cast<Bytes16>(words);
    const Bytes16 reversed = __builtin_shufflevector(bytes, bytes, 7, 6, 5, 4, 3, 2, 1, 0, 8, 9, 10, 11, 12, 13, 14, 15);
    return reinterpret_cast<Words2>(reversed)[0];
  } else {
    return __builtin_bswap64(value);
  }
}

// The 8 bytes at p, the first most significant.
inline uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::little) value = ByteSwap64(value);
  return value;
}

// The 4 bytes at p, the first most significant.
inline uint32_t LoadBigEndian32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof value);
  if constexpr (std::endian::native == std::endian::little) value = __builtin_bswap32(value);
  return value;
}
