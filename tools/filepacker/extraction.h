// Runs PackReader::ExtractFromMemory, with a progress bar on stderr when it
// is a console.
#pragma once

#include <cstdint>
#include <cstdio>

#include "archive/pack_reader.h"

// Returns ExtractFromMemory's result.
int RunExtraction(PackReader& reader, const uint8_t* archive, const char* folder, UnpackReport* report);

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
