#include "archive/platform/posix/entry_path.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>

#include "archive/entry_name.h"

namespace {

// Converts one element (no separators) and appends it at *out.
bool ConvertElement(iconv_t converter, const char* element, size_t length, char** out, size_t* room) {
  char* in = const_cast<char*>(element);
  size_t left = length;
  if (iconv(converter, &in, &left, out, room) == static_cast<size_t>(-1)) {
    errno = errno == E2BIG ? ENAMETOOLONG : EILSEQ;
    return false;
  }
  return left == 0;
}

}  // namespace

bool MakeUtf8Name(const char* name, char* out, size_t capacity) {
  if (capacity == 0) {
    errno = ENAMETOOLONG;
    return false;
  }
  char* end = out;
  size_t room = capacity - 1;  // keeps one byte for the NUL

  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  bool ok = true;
  size_t start = 0;
  const size_t length = std::strlen(name);
  for (size_t i = 0;; ++i) {
    if (i < length) {
      const uint8_t byte = static_cast<uint8_t>(name[i]);
      if (IsCp932LeadByte(byte) && i + 1 < length) {
        ++i;  // its second byte is never a separator
        continue;
      }
      if (byte != '\\' && byte != '/') continue;
    }
    ok = ConvertElement(converter, name + start, i - start, &end, &room);
    if (!ok || i >= length) break;
    if (room == 0) {
      errno = ENAMETOOLONG;
      ok = false;
      break;
    }
    *end++ = '/';
    --room;
    start = i + 1;
  }
  const int error = errno;
  iconv_close(converter);
  if (!ok) {
    errno = error;
    return false;
  }
  *end = '\0';
  return true;
}
