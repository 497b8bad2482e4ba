// POSIX: the system's narrow text is UTF-8.
#include "host/cp932_text.h"

#include <cerrno>

#include "archive/platform/posix/cp932_iconv.h"

namespace {

bool Convert(Cp932Iconv::Direction direction, std::string_view in, std::string& out) {
  out.clear();
  Cp932Iconv converter(direction);
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

// Whether text[at] begins a well-formed UTF-8 sequence (no overlong form,
// surrogate or code point past U+10FFFF); its length, else 0.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  const size_t length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4                  ? 4
                                                                        : 0;
  if (length == 0 || at + length > text.size()) return 0;
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  if (second < (lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80) ||
      second > (lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF)) {
    return 0;
  }
  for (size_t i = 2; i < length; i++) {
    if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) { return Convert(Cp932Iconv::kToUtf8, cp932, utf8); }

bool NativeToCp932(std::string_view native, std::string& cp932) {
  return Convert(Cp932Iconv::kFromUtf8, native, cp932);
}

bool NativeToUtf8(std::string_view native, std::string& utf8) {
  for (size_t at = 0, length = 0; at < native.size(); at += length) {
    length = Utf8SequenceLength(native, at);
    if (length == 0) return false;
  }
  utf8 = native;
  return true;
}
