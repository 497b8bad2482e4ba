// Stands for a DLL that someone who may write into a download folder leaves
// beside the installer, under the name of one that the installer or a system
// library loads. Loaded, it leaves "<its own path>.ran" behind for the test
// to find: had it been an attacker's, its code would have run in the
// installer's (elevated) process.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char mark[MAX_PATH + 8];
  const DWORD length = GetModuleFileNameA(self, mark, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  lstrcpyA(mark + length, ".ran");
  const HANDLE file = CreateFileA(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
