#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "tools/filepacker/extraction.h"

void DrawProgressBar(int64_t position, int64_t total) {
  constexpr int kWidth = 40;
  int percent = total > 0 ? static_cast<int>(position * 100 / total) : 0;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  char bar[kWidth + 1];
  int filled = percent * kWidth / 100;
  for (int i = 0; i < kWidth; i++) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
  std::fflush(stderr);
}

void EndProgressBar() { std::fputc('\n', stderr); }

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
