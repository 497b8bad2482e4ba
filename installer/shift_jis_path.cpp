#include "installer/shift_jis_path.h"

#include <cstdint>
#include <cstring>

#include "base/cp932_walk.h"

namespace {

// Index of the last backslash that is a separator and not the second byte of
// a two-byte character, or -1. A lone lead byte ends the text.
int LastSeparator(const char* path) {
  int found = -1;
  for (int i = 0; path[i] != '\0'; i += TerminatedCharacterSize<IsInstallerCp932LeadByte>(path + i)) {
    if (path[i] == '\\') found = i;  // never a lead byte
  }
  return found;
}

}  // namespace

int IsLeadByteAt(const char* text, int index) {
  if (index < 0) return 0;
  for (int i = 0; text[i] != '\0' && i <= index; i += TerminatedCharacterSize<IsInstallerCp932LeadByte>(text + i)) {
    if (i == index) return IsInstallerCp932LeadByte(static_cast<uint8_t>(text[i])) ? 1 : 0;
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
