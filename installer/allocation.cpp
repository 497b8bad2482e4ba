// The installer's own allocation functions, in place of the C++ library's.
// The library's versions report failure by throwing, which would bring the
// whole exception runtime (unwinder, terminate handler, demangler, printf)
// into an executable that must stay a few kilobytes. Every caller here asks
// with std::nothrow and checks for null; the plain forms return null too,
// since nothing in the installer can catch.
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size) { return std::malloc(size != 0 ? size : 1); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size != 0 ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
