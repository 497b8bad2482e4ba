#include "archive/entry_name.h"

namespace {

bool IsSeparator(uint8_t byte) { return byte == '\\' || byte == '/'; }

char ToUpperAscii(uint8_t byte) {
  return static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte);
}

bool EqualsIgnoringCase(const uint8_t* text, int length, const char* upper) {
  int i = 0;
  for (; i < length && upper[i] != '\0'; ++i) {
    if (ToUpperAscii(text[i]) != upper[i]) return false;
  }
  return i == length && upper[i] == '\0';
}

// Windows opens a device for "CON", "con.txt" and "CON .log" alike: what
// counts is the part before the first dot, trailing spaces dropped.
bool IsDeviceName(const uint8_t* element, int length) {
  int base = 0;
  while (base < length && element[base] != '.') ++base;
  while (base > 0 && element[base - 1] == ' ') --base;
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (EqualsIgnoringCase(element, base, device)) return true;
  }
  if (base == 4 && element[3] >= '0' && element[3] <= '9') {
    return EqualsIgnoringCase(element, 3, "COM") || EqualsIgnoringCase(element, 3, "LPT");
  }
  return false;
}

// One element, known to be free of separators and of invalid characters.
EntryNameFault CheckElement(const uint8_t* element, int length, uint8_t lastByte) {
  if (length == 0) return EntryNameFault::kEmptyElement;
  // A name that ends in the second byte of a two-byte character never ends
  // in a dot or a space, since those are not second bytes.
  if (lastByte == '.' || lastByte == ' ') return EntryNameFault::kDotOrSpaceEnd;  // also "." and ".."
  return IsDeviceName(element, length) ? EntryNameFault::kDevice : EntryNameFault::kSafe;
}

}  // namespace

EntryNameFault CheckEntryName(const char* name, int length) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(name);
  if (bytes == nullptr || length <= 0) return EntryNameFault::kEmptyElement;
  int elementStart = 0;
  uint8_t lastByte = 0;
  int i = 0;
  while (i < length) {
    const uint8_t byte = bytes[i];
    const int characterLength = Cp932CharacterLength(bytes + i, length - i);
    if (characterLength == 0) return EntryNameFault::kCutCharacter;
    if (characterLength == 2) {
      lastByte = bytes[i + 1];
      i += 2;
      continue;
    }
    if (byte < 0x20 || byte == 0x7F || byte == ':') return EntryNameFault::kForbiddenByte;
    if (IsSeparator(byte)) {
      const EntryNameFault fault = CheckElement(bytes + elementStart, i - elementStart, lastByte);
      if (fault != EntryNameFault::kSafe) return fault;
      elementStart = i + 1;
      lastByte = 0;
    } else {
      lastByte = byte;
    }
    ++i;
  }
  return CheckElement(bytes + elementStart, length - elementStart, lastByte);
}
