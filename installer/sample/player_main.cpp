// The sample package's Kormit.exe: a stand-in for the player that says which
// plug-ins it finds beside itself.
#include <windows.h>

namespace {

typedef const char* (WINAPI* PluginName)();

void DescribePlugin(char* text, const char* file) {
  HMODULE plugin = LoadLibraryA(file);
  PluginName name = plugin ? reinterpret_cast<PluginName>(reinterpret_cast<void*>(GetProcAddress(plugin, "KormitPluginName"))) : nullptr;
  lstrcatA(text, "\n  ");
  lstrcatA(text, file);
  lstrcatA(text, name ? ": " : ": (見つかりません)");
  if (name) lstrcatA(text, name());
  if (plugin) FreeLibrary(plugin);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char text[1024] = "オーディオプレーヤー Kormit Ver 1.63 (サンプル)\n\nプラグイン:";
  DescribePlugin(text, "in_wave.dll");
  DescribePlugin(text, "out_wave.dll");
  MessageBoxA(nullptr, text, "Kormit", MB_OK | MB_ICONINFORMATION);
  return 0;
}
