#include <stdio.h>

#include "archive/inspect/archive_file.h"

int64_t FileLength(std::FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  const int64_t length = ftello(file);
  if (fseeko(file, 0, SEEK_SET) != 0) return -1;
  return length;
}
