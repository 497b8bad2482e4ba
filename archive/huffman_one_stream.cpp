#include "archive/huffman_one_stream.h"

namespace huffman {

Decoded FinishExactly(CodeWindow window, const StreamBytes& bytes, const CodeTables& t, int32_t codes, uint8_t* out,
                      int32_t i, int32_t d) {
  const int64_t endPosition = bytes.EndPosition();
  uint8_t* next = out + i;
  uint8_t* const end = out + d;
  uint8_t* groupStart = next - i % codes;
  bool atGroupStart = next == groupStart;
  auto written = [&] { return static_cast<int32_t>(next - out); };
  for (;;) {
    if (atGroupStart && bytes.Position(window) > endPosition) return {written(), false};
    bytes.RefillSafely(window);
    if (end - groupStart < codes) break;
    for (uint8_t* const groupEnd = groupStart + codes; next != groupEnd;) {
      if (!StoreCode<1>(OneCode(window.bits, t), next, window)) return {written(), false};
    }
    groupStart = next;
    atGroupStart = true;
  }
  // The last few codes, from the refill just made.
  while (next != end) {
    if (!StoreCode<1>(OneCode(window.bits, t), next, window)) return {written(), false};
  }
  return {d, bytes.Position(window) <= endPosition};
}

}  // namespace huffman
