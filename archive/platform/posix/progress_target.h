// POSIX: without windows, progress goes to an object that receives it.
#pragma once

#include <cstdint>

// Told of progress on the extracting thread, between two chunks: it must be
// quick and must not throw. `message` is the number the target was set with.
class ProgressReceiver {
 public:
  virtual void OnProgress(uint32_t message, int32_t position, int32_t total) noexcept = 0;

 protected:
  ~ProgressReceiver() = default;
};

typedef ProgressReceiver* ProgressWindow;
