// Replaces the global operator new and delete (every variant: plain, array,
// nothrow, sized, aligned) and the malloc family with counting versions.
//
// operator new keeps the requested size in a 16-byte header in front of the
// block (or one alignment's worth for over-aligned types), so the new
// figures are exact requested bytes. malloc-family blocks carry no header;
// they are counted by the C library's usable size, which rounds up a little.
// Both forward to the C library's own allocator through its __libc_ entry
// points, so nothing is counted twice.
#include "bench/heap_counter.h"

#include <malloc.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <new>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
void __libc_free(void* block);
}

// External linkage on purpose: the C library declares malloc and free as
// leaf functions, which would let the compiler assume that they leave data
// private to this file alone.
HeapUsage theHeapUsage;

namespace {

constexpr size_t kNewHeader = 16;  // keeps malloc's 16-byte alignment

void Count(HeapCounts& counts, int64_t bytes, bool allocation) {
  counts.liveBytes += bytes;
  if (allocation) ++counts.allocations;
  if (counts.liveBytes > counts.peakBytes) counts.peakBytes = counts.liveBytes;
  theHeapUsage.liveBytes += bytes;
  if (theHeapUsage.liveBytes > theHeapUsage.peakBytes) theHeapUsage.peakBytes = theHeapUsage.liveBytes;
}

void* CountMalloc(void* block) {
  if (block != nullptr) Count(theHeapUsage.byMalloc, static_cast<int64_t>(malloc_usable_size(block)), true);
  return block;
}

void UncountMalloc(void* block) {
  if (block != nullptr) Count(theHeapUsage.byMalloc, -static_cast<int64_t>(malloc_usable_size(block)), false);
}

// The header holds the offset back to the C library's block and the
// requested size, in the two words just before the returned pointer.
void* NewBytes(size_t size, size_t alignment) noexcept {
  const size_t header = alignment > kNewHeader ? alignment : kNewHeader;
  if (size > SIZE_MAX - header) return nullptr;
  void* base = header == kNewHeader ? __libc_malloc(size + header) : __libc_memalign(alignment, size + header);
  if (base == nullptr) return nullptr;
  unsigned char* user = static_cast<unsigned char*>(base) + header;
  size_t* fields = reinterpret_cast<size_t*>(user) - 2;
  fields[0] = header;
  fields[1] = size;
  Count(theHeapUsage.byNew, static_cast<int64_t>(size), true);
  return user;
}

void DeleteBytes(void* block) noexcept {
  if (block == nullptr) return;
  const size_t* fields = static_cast<const size_t*>(block) - 2;
  Count(theHeapUsage.byNew, -static_cast<int64_t>(fields[1]), false);
  __libc_free(static_cast<unsigned char*>(block) - fields[0]);
}

// The throwing forms: the new-handler loop, then std::bad_alloc.
void* NewOrThrow(size_t size, size_t alignment) {
  for (;;) {
    if (void* block = NewBytes(size, alignment)) return block;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* NewOrNull(size_t size, size_t alignment) noexcept {
  try {
    return NewOrThrow(size, alignment);
  } catch (...) {
    return nullptr;
  }
}

size_t Alignment(std::align_val_t alignment) { return static_cast<size_t>(alignment); }

}  // namespace

void ResetHeapPeaks() {
  for (HeapCounts* counts : {&theHeapUsage.byNew, &theHeapUsage.byMalloc}) {
    counts->peakBytes = counts->liveBytes;
    counts->allocations = 0;
  }
  theHeapUsage.peakBytes = theHeapUsage.liveBytes;
}

HeapUsage CurrentHeapUsage() { return theHeapUsage; }

void* operator new(size_t size) { return NewOrThrow(size, kNewHeader); }
void* operator new[](size_t size) { return NewOrThrow(size, kNewHeader); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return NewOrNull(size, kNewHeader); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return NewOrNull(size, kNewHeader); }
void* operator new(size_t size, std::align_val_t alignment) { return NewOrThrow(size, Alignment(alignment)); }
void* operator new[](size_t size, std::align_val_t alignment) { return NewOrThrow(size, Alignment(alignment)); }
void* operator new(size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return NewOrNull(size, Alignment(alignment));
}
void* operator new[](size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return NewOrNull(size, Alignment(alignment));
}

void operator delete(void* block) noexcept { DeleteBytes(block); }
void operator delete[](void* block) noexcept { DeleteBytes(block); }
void operator delete(void* block, size_t) noexcept { DeleteBytes(block); }
void operator delete[](void* block, size_t) noexcept { DeleteBytes(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { DeleteBytes(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { DeleteBytes(block); }
void operator delete(void* block, std::align_val_t) noexcept { DeleteBytes(block); }
void operator delete[](void* block, std::align_val_t) noexcept { DeleteBytes(block); }
void operator delete(void* block, size_t, std::align_val_t) noexcept { DeleteBytes(block); }
void operator delete[](void* block, size_t, std::align_val_t) noexcept { DeleteBytes(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { DeleteBytes(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { DeleteBytes(block); }

extern "C" {

void* malloc(size_t size) noexcept { return CountMalloc(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) noexcept { return CountMalloc(__libc_calloc(count, size)); }
void* memalign(size_t alignment, size_t size) noexcept { return CountMalloc(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) noexcept { return CountMalloc(__libc_memalign(alignment, size)); }
void* valloc(size_t size) noexcept { return CountMalloc(__libc_valloc(size)); }
void* pvalloc(size_t size) noexcept { return CountMalloc(__libc_pvalloc(size)); }

int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* block = CountMalloc(__libc_memalign(alignment, size));
  if (block == nullptr) return ENOMEM;
  *out = block;
  return 0;
}

void* realloc(void* block, size_t size) noexcept {
  const int64_t before = block != nullptr ? static_cast<int64_t>(malloc_usable_size(block)) : 0;
  void* moved = __libc_realloc(block, size);
  if (moved != nullptr) {
    Count(theHeapUsage.byMalloc, static_cast<int64_t>(malloc_usable_size(moved)) - before, true);
  } else if (size == 0 && block != nullptr) {
    Count(theHeapUsage.byMalloc, -before, false);  // realloc(p, 0) released p
  }
  return moved;
}

void* reallocarray(void* block, size_t count, size_t size) noexcept {
  if (size != 0 && count > SIZE_MAX / size) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(block, count * size);
}

void free(void* block) noexcept {
  UncountMalloc(block);
  __libc_free(block);
}

}  // extern "C"
