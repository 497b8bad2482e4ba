#include "archive/platform/platform.h"

// Posted, never sent: the extracting thread must not wait for the dialog.
void PostProgress(ProgressWindow window, ProgressMessage message, int32_t position, int32_t total) {
  PostMessageA(window, message, static_cast<WPARAM>(position), static_cast<LPARAM>(total));
}
