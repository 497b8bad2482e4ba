#include "tools/filepacker/text_format.h"

#include <cstdio>
#include <ctime>

#include "archive/archive_format.h"
#include "base/escaped_bytes.h"
#include "base/file_time.h"
#include "host/cp932_text.h"
#include "tools/filepacker/host_system.h"

namespace {

bool HasControlBytes(const std::string& bytes) {
  for (unsigned char c : bytes) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

// U+0080..U+009F, which some terminals obey as controls: C2 80..C2 9F.
bool HasC1Controls(const std::string& utf8) {
  for (size_t i = 0; i + 1 < utf8.size(); i++) {
    if (utf8[i] == '\xC2' && static_cast<unsigned char>(utf8[i + 1]) < 0xA0) return true;
  }
  return false;
}

}  // namespace

std::string ConsoleText(const std::string& cp932) {
  std::string out;
  if (HasControlBytes(cp932)) return EscapedBytes(cp932);
  if (!Cp932ToConsole(cp932, out)) return EscapedBytes(cp932);
  return out;
}

std::string Utf8Text(const std::string& cp932) {
  std::string out;
  if (!Cp932ToUtf8(cp932, out)) return EscapedBytes(cp932);
  return out;
}

std::string TerminalText(const std::string& native) {
  std::string utf8;
  const bool plain = NativeToUtf8(native, utf8) && !HasC1Controls(utf8);
  std::string out;
  for (unsigned char c : native) {
    if (c < 0x20 || c == 0x7F || (!plain && c >= 0x80)) {
      AppendEscapedByte(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string NativeJsonText(const std::string& native) {
  std::string utf8;
  return NativeToUtf8(native, utf8) ? utf8 : TerminalText(native);
}

std::string AttributeLetters(uint32_t attributes) {
  static const struct {
    uint32_t bit;
    char letter;
  } kLetters[] = {{archive_format::kAttributeArchive, 'A'}, {archive_format::kAttributeReadOnly, 'R'},
                  {0x02, 'H'},   {0x04, 'S'},  {0x10, 'D'},   {0x80, 'N'},   {0x100, 'T'},
                  {0x800, 'C'},  {0x1000, 'O'}, {0x2000, 'I'}, {0x4000, 'E'}};
  std::string letters;
  for (const auto& entry : kLetters) {
    if (attributes & entry.bit) letters += entry.letter;
  }
  return letters.empty() ? "-" : letters;
}

std::string LocalTimeText(uint64_t fileTime) {
  std::tm local{};
  if (!ToLocalTime(FileTimeToTimespec(fileTime).tv_sec, local)) return "-";
  // Digits of our own rather than strftime's %Y, which C libraries write
  // differently past 9999 (a FILETIME reaches 58000): musl, under the
  // WebAssembly engine, puts a "+" before such a year, glibc does not.
  char text[48];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}

std::string RatioText(int64_t packed, int64_t size) {
  if (size <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(size));
  return text;
}
