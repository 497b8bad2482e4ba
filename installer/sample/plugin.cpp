// A sample plug-in of the package. KORMIT_PLUGIN_NAME is given by the build,
// so that one source makes each of the package's plug-ins.
#include <windows.h>

extern "C" __declspec(dllexport) const char* WINAPI KormitPluginName() { return KORMIT_PLUGIN_NAME; }

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
