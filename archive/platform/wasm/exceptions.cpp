// WebAssembly: Debian's libc++abi for wasm32 is built without exceptions,
// and the engine throws only when memory runs out (std::bad_alloc) or on a
// fault of its own. Such a throw ends the call: the module traps, and the
// JavaScript side reports that the engine stopped. The catch blocks, which
// clang drops for a target without exception handling, never run.
#include <cstddef>
#include <cstdlib>

extern "C" void* __cxa_allocate_exception(std::size_t) noexcept { __builtin_trap(); }

extern "C" [[noreturn]] void __cxa_throw(void*, void*, void (*)(void*)) { __builtin_trap(); }
