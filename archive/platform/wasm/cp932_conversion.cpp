// WebAssembly: the conversion through the tables read off the host's iconv, so
// that names and texts convert as in the native filepacker.
#include "archive/cp932_conversion.h"

#include <errno.h>

#include <algorithm>
#include <cstdint>

#include "archive/platform/wasm/cp932_tables.h"
#include "base/utf8.h"

namespace {

// One character of either encoding: how many input bytes it takes (0: not
// valid) and its converted bytes.
size_t ConvertOne(Cp932Conversion::Direction direction, const unsigned char* in, size_t left, char* out,
                  size_t& produced) {
  if (direction == Cp932Conversion::kToUtf8) {
    uint32_t codePoint = kCp932SingleByte[in[0]];
    size_t taken = 1;
    if (kCp932LeadIndex[in[0]] != 0) {
      if (left < 2) return 0;
      codePoint = kCp932DoubleByte[(kCp932LeadIndex[in[0]] - 1) * 256 + in[1]];
      taken = 2;
    }
    if (codePoint == kCp932None) return 0;
    produced = EncodeUtf8(codePoint, out);
    return taken;
  }
  uint32_t codePoint = 0;
  const size_t taken = DecodeUtf8(in, left, codePoint);
  // Code page 932 reaches no character beyond the Basic Multilingual Plane.
  if (taken == 0 || codePoint > 0xFFFF) return 0;
  const uint32_t* end = kCp932FromUnicode + kCp932FromUnicodeCount;
  const uint32_t* found = std::lower_bound(kCp932FromUnicode, end, codePoint << 16);
  if (found == end || (*found >> 16) != codePoint) return 0;
  const uint32_t code = *found & 0xFFFF;
  produced = 0;
  if (code > 0xFF) out[produced++] = static_cast<char>(code >> 8);
  out[produced++] = static_cast<char>(code & 0xFF);
  return taken;
}

}  // namespace

Cp932Conversion::Cp932Conversion(Direction direction) noexcept : direction_(direction) {}

Cp932Conversion::~Cp932Conversion() = default;

bool Cp932Conversion::Convert(const char** in, size_t* inLeft, char** out, size_t* room) noexcept {
  const Direction direction = direction_;
  while (*inLeft > 0) {
    char converted[4];
    size_t produced = 0;
    const size_t taken =
        ConvertOne(direction, reinterpret_cast<const unsigned char*>(*in), *inLeft, converted, produced);
    if (taken == 0) {
      errno = EILSEQ;
      return false;
    }
    if (produced > *room) {
      errno = E2BIG;
      return false;
    }
    std::copy(converted, converted + produced, *out);
    *out += produced;
    *room -= produced;
    *in += taken;
    *inLeft -= taken;
  }
  return true;
}
