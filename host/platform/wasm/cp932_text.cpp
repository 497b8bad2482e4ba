// WebAssembly: the narrow text is what JavaScript hands the module, UTF-8.
#include "host/cp932_text.h"

#include "host/cp932_strings.h"

bool Cp932ToUtf8(std::string_view cp932, std::string& utf8) {
  return ConvertCp932Text(Cp932Conversion::kToUtf8, cp932, utf8);
}

bool NativeToCp932(std::string_view native, std::string& cp932) {
  return ConvertCp932Text(Cp932Conversion::kFromUtf8, native, cp932);
}

bool NativeToUtf8(std::string_view native, std::string& utf8) { return CopyValidUtf8(native, utf8); }
