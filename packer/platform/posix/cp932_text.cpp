// POSIX: the system's narrow text is UTF-8; iconv does the conversions.
#include "packer/cp932_text.h"

#include <iconv.h>

#include <cerrno>

namespace {

// Converts all of `in`; false on any invalid or unrepresentable sequence.
bool Convert(const char* to, const char* from, std::string_view in, std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  bool ok = true;
  char buffer[1024];
  while (ok && inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof(buffer);
    size_t result = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    // E2BIG only means the buffer is full; anything else is a bad sequence.
    if (result == static_cast<size_t>(-1) && errno != E2BIG) ok = false;
  }
  iconv_close(cd);
  return ok;
}

}  // namespace

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) {
  return Convert("UTF-8", "CP932", cp932, utf8);
}

bool NativeToCp932(std::string_view native, std::string& cp932) {
  return Convert("CP932", "UTF-8", native, cp932);
}

bool Cp932ToNative(std::string_view cp932, std::string& native) {
  return Cp932ToUtf8(cp932, native);
}
