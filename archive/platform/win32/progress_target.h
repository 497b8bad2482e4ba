// Win32: progress is posted to a window.
#pragma once

#include <windows.h>

typedef HWND ProgressWindow;
