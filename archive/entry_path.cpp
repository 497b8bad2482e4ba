#include "archive/entry_path.h"

#include <errno.h>

#include <cstdint>
#include <cstring>

#include "archive/cp932_conversion.h"
#include "archive/windows_cp932.h"
#include "base/cp932_walk.h"
#include "base/utf8.h"

namespace {

// Appends the UTF-8 form of a character.
bool AppendUtf8(uint16_t character, char** out, size_t* room) {
  char bytes[4];
  const size_t length = EncodeUtf8(character, bytes);
  if (*room < length) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(*out, bytes, length);
  *room -= length;
  *out += length;
  return true;
}

// Converts one element (no separators) and appends it at *out. Where iconv
// finds no character, Windows still reads one (archive/windows_cp932.h),
// and the file must get the name that it gets on Windows.
bool ConvertElement(Cp932Conversion& converter, const char* element, size_t length, char** out, size_t* room) {
  while (!converter.Convert(&element, &length, out, room)) {
    if (errno == E2BIG) {
      errno = ENAMETOOLONG;
      return false;
    }
    int taken = 0;
    const uint16_t character = Cp932CharacterOnlyWindowsReads(reinterpret_cast<const uint8_t*>(element),
                                                              static_cast<int>(length), &taken);
    if (character == 0) return false;  // errno is EILSEQ
    if (!AppendUtf8(character, out, room)) return false;
    element += taken;
    length -= static_cast<size_t>(taken);
  }
  return true;
}

}  // namespace

bool MakeUtf8Name(const char* name, char* out, size_t capacity) {
  if (capacity == 0) {
    errno = ENAMETOOLONG;
    return false;
  }
  char* end = out;
  size_t room = capacity - 1;  // keeps one byte for the NUL

  Cp932Conversion converter(Cp932Conversion::kToUtf8);
  bool ok = true;
  size_t start = 0;
  for (Cp932Walk<> walk(name, std::strlen(name));; walk.Next()) {
    if (!walk.Done() && !walk.AtSeparator()) continue;
    const size_t i = walk.Position();
    ok = ConvertElement(converter, name + start, i - start, &end, &room);
    if (!ok || walk.Done()) break;
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
