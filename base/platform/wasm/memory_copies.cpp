// The module's memcpy, memmove and memset, in place of libc's: compiled
// with bulk memory, each is one memory.copy or memory.fill, which the
// engine runs as native code, where libc's run as word loops in wasm. The
// decoder copies and fills many times per block; the benchmark's coded
// blocks of 200,000 bytes go through memcpy before each decode.
#include <cstddef>

extern "C" {

void* memcpy(void* to, const void* from, size_t count) { return __builtin_memcpy(to, from, count); }

void* memmove(void* to, const void* from, size_t count) { return __builtin_memmove(to, from, count); }

void* memset(void* to, int value, size_t count) { return __builtin_memset(to, value, count); }

}
