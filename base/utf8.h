// UTF-8, one character at a time: the one coding of it that the POSIX names,
// the system's text and the web module's own conversion share, so that they
// agree on which bytes are a character.
#pragma once

#include <cstddef>
#include <cstdint>

// The character at `in` (`left` bytes): its length, with its code point,
// or 0 when the bytes are no well-formed UTF-8 (a stray or missing
// continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, or cut off by the end).
inline size_t DecodeUtf8(const unsigned char* in, size_t left, uint32_t& codePoint) {
  if (left == 0) return 0;
  const unsigned char lead = in[0];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4                  ? 4
                                                                        : 0;
  if (length == 0 || left < length) return 0;
  // The second byte's range is what rules out the overlong forms, the
  // surrogates and what lies past U+10FFFF.
  const unsigned char second = in[1];
  if (second < (lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80) ||
      second > (lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF)) {
    return 0;
  }
  uint32_t value = lead & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
  for (size_t i = 1; i < length; i++) {
    if ((in[i] & 0xC0) != 0x80) return 0;
    value = (value << 6) | (in[i] & 0x3F);
  }
  codePoint = value;
  return length;
}

// Writes the UTF-8 form of `codePoint` (a scalar value, up to U+10FFFF) at
// `out`, which has room for 4 bytes; its length.
inline size_t EncodeUtf8(uint32_t codePoint, char* out) {
  if (codePoint < 0x80) {
    out[0] = static_cast<char>(codePoint);
    return 1;
  }
  const size_t length = codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
  static constexpr unsigned char kLeadMarks[] = {0, 0, 0xC0, 0xE0, 0xF0};
  for (size_t i = length - 1; i > 0; i--) {
    out[i] = static_cast<char>(0x80 | (codePoint & 0x3F));
    codePoint >>= 6;
  }
  out[0] = static_cast<char>(kLeadMarks[length] | codePoint);
  return length;
}
