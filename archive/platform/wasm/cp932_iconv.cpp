// WebAssembly: Cp932Iconv through the tables read off the host's iconv, so
// that names and texts convert as in the native filepacker.
#include "archive/platform/posix/cp932_iconv.h"

#include <errno.h>

#include <algorithm>
#include <cstdint>

#include "archive/platform/wasm/cp932_tables.h"

namespace {

// Decodes one UTF-8 character of the BMP at in (left bytes); its length,
// or 0 when the bytes are not one (or it lies beyond the BMP, which code
// page 932 does not reach).
size_t DecodeUtf8(const unsigned char* in, size_t left, uint32_t& codePoint) {
  if (left == 0) return 0;
  if (in[0] < 0x80) {
    codePoint = in[0];
    return 1;
  }
  const size_t length = in[0] >= 0xE0 ? (in[0] >= 0xF0 ? 4 : 3) : (in[0] >= 0xC2 ? 2 : 0);
  if (length == 0 || length == 4 || left < length) return 0;
  codePoint = in[0] & (length == 2 ? 0x1F : 0x0F);
  for (size_t i = 1; i < length; i++) {
    if ((in[i] & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (in[i] & 0x3F);
  }
  if ((length == 3 && codePoint < 0x800) || (codePoint >= 0xD800 && codePoint < 0xE000)) return 0;
  return length;
}

size_t EncodeUtf8(uint32_t codePoint, char* out) {
  if (codePoint < 0x80) {
    out[0] = static_cast<char>(codePoint);
    return 1;
  }
  if (codePoint < 0x800) {
    out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
    out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
  out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
  return 3;
}

// One character of either encoding: how many input bytes it takes (0: not
// valid) and its converted bytes.
size_t ConvertOne(Cp932Iconv::Direction direction, const unsigned char* in, size_t left, char* out,
                  size_t& produced) {
  if (direction == Cp932Iconv::kToUtf8) {
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
  if (taken == 0) return 0;
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

Cp932Iconv::Cp932Iconv(Direction direction) noexcept
    : descriptor_(reinterpret_cast<void*>(static_cast<uintptr_t>(direction))) {}

Cp932Iconv::~Cp932Iconv() = default;

bool Cp932Iconv::Convert(const char** in, size_t* inLeft, char** out, size_t* room) noexcept {
  const Direction direction = static_cast<Direction>(reinterpret_cast<uintptr_t>(descriptor_));
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
