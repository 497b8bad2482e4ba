#include "archive/platform/posix/entry_path.h"

#include <errno.h>

#include <cstdint>
#include <cstring>

#include "archive/entry_name.h"
#include "archive/platform/posix/cp932_iconv.h"

namespace {

// Converts one element (no separators) and appends it at *out.
bool ConvertElement(Cp932Iconv& converter, const char* element, size_t length, char** out, size_t* room) {
  if (converter.Convert(&element, &length, out, room)) return true;
  if (errno == E2BIG) errno = ENAMETOOLONG;
  return false;
}

}  // namespace

bool MakeUtf8Name(const char* name, char* out, size_t capacity) {
  if (capacity == 0) {
    errno = ENAMETOOLONG;
    return false;
  }
  char* end = out;
  size_t room = capacity - 1;  // keeps one byte for the NUL

  Cp932Iconv converter(Cp932Iconv::kToUtf8);
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
  if (!ok) return false;
  *end = '\0';
  return true;
}
