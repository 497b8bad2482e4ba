#include "tools/filepacker/extraction.h"

void ProgressBar::Show(int64_t position, int64_t total) noexcept {
  constexpr int kWidth = 40;
  int percent = total > 0 ? static_cast<int>(position * 100 / total) : 0;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  if (percent == shown_) return;
  shown_ = percent;
  char bar[kWidth + 1];
  int filled = percent * kWidth / 100;
  for (int i = 0; i < kWidth; i++) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(out_, "\r[%s] %3d%%", bar, percent);
  std::fflush(out_);
}

void ProgressBar::End() { std::fputc('\n', out_); }
