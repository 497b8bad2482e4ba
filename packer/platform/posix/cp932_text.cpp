// POSIX: the system's narrow text is UTF-8.
#include "packer/cp932_text.h"

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

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) { return Convert(Cp932Iconv::kToUtf8, cp932, utf8); }

bool NativeToCp932(std::string_view native, std::string& cp932) {
  return Convert(Cp932Iconv::kFromUtf8, native, cp932);
}
