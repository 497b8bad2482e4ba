// POSIX: the system's narrow text is UTF-8.
#include "host/cp932_text.h"

#include <cerrno>

#include "archive/cp932_conversion.h"
#include "base/utf8.h"

namespace {

bool Convert(Cp932Conversion::Direction direction, std::string_view in, std::string& out) {
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

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) { return Convert(Cp932Conversion::kToUtf8, cp932, utf8); }

bool NativeToCp932(std::string_view native, std::string& cp932) {
  return Convert(Cp932Conversion::kFromUtf8, native, cp932);
}

bool NativeToUtf8(std::string_view native, std::string& utf8) {
  for (size_t at = 0, length = 0; at < native.size(); at += length) {
    uint32_t codePoint = 0;
    length = DecodeUtf8(reinterpret_cast<const unsigned char*>(native.data()) + at, native.size() - at, codePoint);
    if (length == 0) return false;
  }
  utf8 = native;
  return true;
}
