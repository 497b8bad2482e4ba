#include "installer/shift_jis_path.h"

#include <cstdint>
#include <cstring>

#include "base/cp932_walk.h"

namespace {

// The installer's own rule, narrower than Windows' (no 0xF0-0xFC): a second
// byte is whatever follows a lead byte.
bool IsInstallerLeadByte(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF); }

// Index of the last backslash that is a separator and not the second byte of
// a two-byte character, or -1. A lone lead byte ends the text.
int LastSeparator(const char* path) {
  int found = -1;
  for (Cp932Walk<IsInstallerLeadByte> walk(path, std::strlen(path)); !walk.Done(); walk.Next()) {
    if (walk.Size() == 1 && walk.Byte() == '\\') found = static_cast<int>(walk.Position());
  }
  return found;
}

}  // namespace

int IsLeadByteAt(const char* text, int index) {
  if (index < 0) return 0;
  for (Cp932Walk<IsInstallerLeadByte> walk(text, std::strlen(text)); !walk.Done(); walk.Next()) {
    if (walk.Position() == static_cast<size_t>(index)) return walk.AtLeadByte() ? 1 : 0;
    if (walk.Position() > static_cast<size_t>(index)) return 0;
  }
  return 0;
}

void CutAtLastSeparator(char* path) {
  const int length = static_cast<int>(std::strlen(path));
  int i = length - 1;
  while (i >= 0) {
    if (path[i] == ':') {
      ++i;
      break;
    }
    if (path[i] == '\\' && !IsLeadByteAt(path, i - 1)) break;
    --i;
  }
  if (i > 0 && i < length) path[i] = '\0';
}

void CutExtension(char* path) {
  const int stop = LastSeparator(path);
  for (int i = static_cast<int>(std::strlen(path)) - 1; i >= 1 && i > stop; --i) {
    if (path[i] == '.') {
      path[i] = '\0';
      return;
    }
  }
}

int AppendPath(char* buffer, int size, const char* text) {
  const size_t used = std::strlen(buffer);
  const size_t added = std::strlen(text);
  if (used + added + 1 > static_cast<size_t>(size)) return 0;
  std::memcpy(buffer + used, text, added + 1);
  return 1;
}
