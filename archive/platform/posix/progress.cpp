#include "archive/platform/platform.h"

// The callback runs on the extracting thread; it must not block for long.
void PostProgress(ProgressWindow window, ProgressMessage message, int32_t position, int32_t total) {
  window(message, position, total);
}
