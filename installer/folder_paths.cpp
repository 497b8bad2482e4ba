#include "installer/folder_paths.h"

#include <cstring>

#include "base/installer_rules.h"

namespace {

int Compose(char* out, int size, const char* const* parts) {
  out[0] = '\0';
  for (; *parts != nullptr; ++parts) {
    if (!AppendPath(out, size, *parts)) {
      out[0] = '\0';
      return 0;
    }
  }
  return 1;
}

}  // namespace

int ComposeFolderEntry(char* out, const char* folder, const char* name) {
  const char* parts[] = {folder, "\\", name, nullptr};
  return Compose(out, kPathBufferSize, parts);
}

int ComposeFolderPattern(char* out, const char* folder) {
  const char* parts[] = {folder, "\\*.*", nullptr};
  return Compose(out, kPathBufferSize, parts);
}

int ComposeSetupCommandLine(char* out, const char* folder) {
  const char* parts[] = {"\"", folder, "\\" KORMIT_SETUP_PROGRAM "\"", nullptr};
  return Compose(out, kSetupCommandLineSize, parts);
}

int ComposeInstallProbe(char* out, int prefixLength, int number) {
  if (prefixLength < 0 || prefixLength >= kPathBufferSize || number < 0) return 0;
  char digits[12];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  char probe[32];
  int length = sizeof kInstallFolderName - 1;
  std::memcpy(probe, kInstallFolderName, length);
  while (count > 0) probe[length++] = digits[--count];
  for (const char* tail = "\\*.*"; *tail != '\0'; ++tail) probe[length++] = *tail;
  probe[length] = '\0';
  out[prefixLength] = '\0';
  if (!AppendPath(out, kPathBufferSize, probe)) return 0;
  return 1;
}
