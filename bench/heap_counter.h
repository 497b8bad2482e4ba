// Counts the live heap of this program: every global operator new and
// delete, and every malloc-family call (the C library's own callers, such as
// iconv inside the POSIX file layer, allocate through malloc, not new).
// Linking heap_counter.cpp replaces both; the program must stay
// single-threaded while it counts.
#pragma once

#include <cstdint>

struct HeapCounts {
  int64_t liveBytes = 0;
  int64_t peakBytes = 0;    // highest liveBytes since the last ResetHeapPeaks
  int64_t allocations = 0;  // since the last ResetHeapPeaks
};

struct HeapUsage {
  HeapCounts byNew;     // bytes as requested from operator new
  HeapCounts byMalloc;  // direct malloc-family calls, in usable bytes
  int64_t liveBytes = 0;  // both together
  int64_t peakBytes = 0;
};

// Makes the current live bytes the peaks and clears the allocation counts.
void ResetHeapPeaks();
HeapUsage CurrentHeapUsage();
