#include "archive/platform/platform.h"

void PostProgress(ProgressWindow window, ProgressMessage message, int32_t position, int32_t total) {
  window->OnProgress(message, position, total);
}
