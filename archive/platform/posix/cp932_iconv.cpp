#include "archive/platform/posix/cp932_iconv.h"

#include <errno.h>
#include <iconv.h>

namespace {

iconv_t Failed() { return reinterpret_cast<iconv_t>(-1); }

}  // namespace

Cp932Iconv::Cp932Iconv(Direction direction) noexcept
    : descriptor_(direction == kToUtf8 ? iconv_open("UTF-8", "CP932") : iconv_open("CP932", "UTF-8")) {}

Cp932Iconv::~Cp932Iconv() {
  if (descriptor_ != Failed()) iconv_close(static_cast<iconv_t>(descriptor_));
}

bool Cp932Iconv::Convert(const char** in, size_t* inLeft, char** out, size_t* room) noexcept {
  if (descriptor_ == Failed()) {
    errno = EILSEQ;
    return false;
  }
  char* from = const_cast<char*>(*in);
  const size_t result = iconv(static_cast<iconv_t>(descriptor_), &from, inLeft, out, room);
  *in = from;
  if (result != static_cast<size_t>(-1)) return true;
  // EINVAL is a character cut off at the end: nothing more will complete it.
  if (errno != E2BIG) errno = EILSEQ;
  return false;
}
