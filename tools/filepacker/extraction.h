// The extractor's progress as a bar on stderr, when it is a console.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/pack_reader.h"

// True when `stream` is a terminal (on Win32 a console, which the NUL
// device is not, though the C library takes it for one): only then is a
// progress bar drawn.
bool IsConsole(std::FILE* stream);

// "[#####.....]  50%" on a console, drawn over itself, and only when the
// percentage shown changes: a redraw per chunk costs more than the chunk.
class ProgressBar {
 public:
  explicit ProgressBar(std::FILE* out) : out_(out) {}
  void Show(int64_t position, int64_t total) noexcept;
  // Ends the bar's line.
  void End();

 private:
  std::FILE* out_;
  int shown_ = -1;  // the percentage drawn last
};

// The extractor tells the bar after every chunk, on this thread. Target()
// is what to hand the extractor: null when stderr is no console; the bar's
// line ends when this goes.
class ExtractionBar final : public ProgressReceiver {
 public:
  ExtractionBar() : shown_(IsConsole(stderr)) {}
  ~ExtractionBar() {
    if (shown_) bar_.End();
  }
  ExtractionBar(const ExtractionBar&) = delete;
  ExtractionBar& operator=(const ExtractionBar&) = delete;

  ProgressReceiver* Target() { return shown_ ? this : nullptr; }
  void OnProgress(int32_t position, int32_t total) noexcept override { bar_.Show(position, total); }

 private:
  bool shown_;
  ProgressBar bar_{stderr};
};
