// Resource bounds of the archive engine: the heap that whole extractions
// hold at the largest block size, and the time that hostile blocks take to
// decode beside well-formed ones. Prints figures with their bounds; exits
// non-zero only when a result is wrong, never because a figure is high.
#include <cstdio>

#include "bench/decode_bounds.h"
#include "bench/extraction_peaks.h"

int main() {
  const bool peaksCorrect = RunExtractionPeaks();
  const bool decodesCorrect = RunDecodeBounds();
  if (!peaksCorrect || !decodesCorrect) {
    std::fprintf(stderr, "bounds_bench: wrong results above\n");
    return 1;
  }
  return 0;
}
