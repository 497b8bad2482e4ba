#include <stdio.h>

#include "archive/inspect/archive_file.h"

int64_t FileLength(std::FILE* file) {
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  const int64_t length = _ftelli64(file);
  if (_fseeki64(file, 0, SEEK_SET) != 0) return -1;
  return length;
}
