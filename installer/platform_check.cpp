#include "installer/installer_flow.h"

int IsNtPlatform() {
  OSVERSIONINFOA version;
  ZeroMemory(&version, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;  // 148
  GetVersionExA(&version);  // on failure the record stays zero: not NT
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT ? 1 : 0;
}
