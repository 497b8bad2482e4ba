// Bytes from a file that a message shows: printable ASCII as it is, every
// other byte (and the backslash and the double quote, which would make a
// quoted name ambiguous) as \xNN, so that nothing a hostile file holds
// reaches a terminal as a control sequence or a JSON string as invalid text.
// UTF-16 text (a resource's name in an image) the same way, a unit beyond
// 0xFF as \uNNNN.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

inline void AppendEscapedByte(std::string& out, unsigned char c) {
  char hex[8];
  std::snprintf(hex, sizeof(hex), "\\x%02X", c);
  out += hex;
}

inline std::string EscapedBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
      out += static_cast<char>(c);
    } else {
      AppendEscapedByte(out, c);
    }
  }
  return out;
}

inline std::string EscapedUtf16(std::u16string_view units) {
  std::string out;
  for (char16_t unit : units) {
    if (unit < 0x100) {
      const char byte = static_cast<char>(unit);
      out += EscapedBytes(std::string_view(&byte, 1));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\u%04X", static_cast<unsigned>(unit));
      out += hex;
    }
  }
  return out;
}
