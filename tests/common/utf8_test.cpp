// UTF-8 one character at a time (base/utf8.h): real bytes of each length
// decode to their code points and encode back to the same bytes; what is no
// well-formed UTF-8 is refused at its first byte.
#include <gtest/gtest.h>

#include <string>

#include "base/utf8.h"

namespace {

struct Character {
  const char* bytes;
  uint32_t codePoint;
};

const Character kCharacters[] = {
    {"A", 0x41},           {"\x7F", 0x7F},         {"\xC2\x80", 0x80},       {"\xC3\xA9", 0xE9},  // é
    {"\xDF\xBF", 0x7FF},   {"\xE0\xA0\x80", 0x800}, {"\xE3\x81\x82", 0x3042},  // あ
    {"\xED\x9F\xBF", 0xD7FF}, {"\xEE\x80\x80", 0xE000}, {"\xEF\xBF\xBF", 0xFFFF},
    {"\xF0\x90\x80\x80", 0x10000}, {"\xF0\x9D\x84\x9E", 0x1D11E},  // 𝄞
    {"\xF4\x8F\xBF\xBF", 0x10FFFF},
};

TEST(Utf8, EachLengthDecodesAndEncodesBack) {
  for (const Character& character : kCharacters) {
    const std::string bytes = character.bytes;
    uint32_t codePoint = 0;
    EXPECT_EQ(DecodeUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), codePoint), bytes.size())
        << bytes;
    EXPECT_EQ(codePoint, character.codePoint) << bytes;
    char out[4];
    EXPECT_EQ(std::string(out, EncodeUtf8(character.codePoint, out)), bytes) << std::hex << character.codePoint;
  }
}

TEST(Utf8, WhatIsNoCharacterIsRefused) {
  const char* const kRefused[] = {
      "\x80",              // a continuation byte alone
      "\xC0\x80",          // overlong NUL
      "\xC1\xBF",          // overlong
      "\xE0\x9F\xBF",      // overlong, three bytes
      "\xF0\x8F\xBF\xBF",  // overlong, four bytes
      "\xED\xA0\x80",      // surrogate
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "\xF5\x80\x80\x80",  // no lead byte
      "\xE3\x81",          // cut off
      "\xE3\x41\x82",      // no continuation
      "\xC3",              // cut off
  };
  for (const std::string bytes : kRefused) {
    uint32_t codePoint = 0;
    EXPECT_EQ(DecodeUtf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), codePoint), 0u) << bytes;
  }
}

}  // namespace
