// The module's memcpy, memmove, memset and memchr, in place of libc's,
// which run as word loops in wasm. Compiled with bulk memory, the first
// three are each one memory.copy or memory.fill, which the engine runs as
// native code; memchr compares 16 bytes at a time. The decoder copies,
// fills and looks for its escape byte many times per block.
#include <wasm_simd128.h>

#include <cstddef>
#include <cstdint>

extern "C" {

void* memcpy(void* to, const void* from, size_t count) { return __builtin_memcpy(to, from, count); }

void* memmove(void* to, const void* from, size_t count) { return __builtin_memmove(to, from, count); }

void* memset(void* to, int value, size_t count) { return __builtin_memset(to, value, count); }

// By aligned blocks of 16 bytes, which never reach past the end of the
// memory (a whole number of 64 KiB pages), from the one that holds `from`;
// the bytes before `from` are masked off, a hit past `count` is none.
void* memchr(const void* from, int value, size_t count) {
  const uint8_t* const start = static_cast<const uint8_t*>(from);
  const v128_t needle = wasm_i8x16_splat(static_cast<int8_t>(value));
  const uint8_t* block = reinterpret_cast<const uint8_t*>(reinterpret_cast<uintptr_t>(start) & ~uintptr_t{15});
  uint32_t hits = wasm_i8x16_bitmask(wasm_i8x16_eq(wasm_v128_load(block), needle)) & (~0u << (start - block));
  for (;;) {
    if (hits != 0) {
      const uint8_t* const hit = block + __builtin_ctz(hits);
      return static_cast<size_t>(hit - start) < count ? const_cast<uint8_t*>(hit) : nullptr;
    }
    block += 16;
    if (static_cast<size_t>(block - start) >= count) return nullptr;
    hits = wasm_i8x16_bitmask(wasm_i8x16_eq(wasm_v128_load(block), needle));
  }
}

}
