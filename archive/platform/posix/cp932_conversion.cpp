// POSIX: the conversion through iconv.
#include "archive/cp932_conversion.h"

#include <errno.h>
#include <iconv.h>

namespace {

iconv_t Failed() { return reinterpret_cast<iconv_t>(-1); }

}  // namespace

Cp932Conversion::Cp932Conversion(Direction direction) noexcept
    : direction_(direction),
      system_(direction == kToUtf8 ? iconv_open("UTF-8", "CP932") : iconv_open("CP932", "UTF-8")) {}

Cp932Conversion::~Cp932Conversion() {
  if (system_ != Failed()) iconv_close(static_cast<iconv_t>(system_));
}

bool Cp932Conversion::Convert(const char** in, size_t* inLeft, char** out, size_t* room) noexcept {
  if (system_ == Failed()) {
    errno = EILSEQ;
    return false;
  }
  char* from = const_cast<char*>(*in);
  const size_t result = iconv(static_cast<iconv_t>(system_), &from, inLeft, out, room);
  *in = from;
  if (result != static_cast<size_t>(-1)) return true;
  // EINVAL is a character cut off at the end: nothing more will complete it.
  if (errno != E2BIG) errno = EILSEQ;
  return false;
}
