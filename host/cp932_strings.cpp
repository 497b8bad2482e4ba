#include "host/cp932_strings.h"

#include <cerrno>

#include "base/utf8.h"

bool ConvertCp932Text(Cp932Conversion::Direction direction, std::string_view in, std::string& out) {
  out.clear();
  Cp932Conversion converter(direction);
  const char* from = in.data();
  size_t left = in.size();
  char buffer[1024];
  for (;;) {
    char* to = buffer;
    size_t room = sizeof(buffer);
    const bool done = converter.Convert(&from, &left, &to, &room);
    out.append(buffer, to - buffer);
    if (done) return true;
    if (errno != E2BIG) return false;
  }
}

bool CopyValidUtf8(std::string_view text, std::string& utf8) {
  for (size_t at = 0, length = 0; at < text.size(); at += length) {
    uint32_t codePoint = 0;
    length = DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()) + at, text.size() - at, codePoint);
    if (length == 0) return false;
  }
  utf8 = text;
  return true;
}
