#include "tools/filepacker/text_format.h"

#include <cstdio>
#include <ctime>

#include "archive/escaped_bytes.h"
#include "packer/cp932_text.h"

namespace {

bool HasControlBytes(const std::string& bytes) {
  for (unsigned char c : bytes) {
    if (c < 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

std::string ConsoleText(const std::string& cp932) {
  std::string out;
  if (HasControlBytes(cp932)) return EscapedBytes(cp932);
#ifdef _WIN32
  // The console shows code page 932 as it is; only check that it is valid.
  if (!Cp932ToUtf8(cp932, out)) return EscapedBytes(cp932);
  return cp932;
#else
  if (!Cp932ToNative(cp932, out)) return EscapedBytes(cp932);
  return out;
#endif
}

std::string Utf8Text(const std::string& cp932) {
  std::string out;
  if (!Cp932ToUtf8(cp932, out)) return EscapedBytes(cp932);
  return out;
}

std::string AttributeLetters(uint32_t attributes) {
  static const struct {
    uint32_t bit;
    char letter;
  } kLetters[] = {{0x20, 'A'}, {0x01, 'R'}, {0x02, 'H'}, {0x04, 'S'}, {0x10, 'D'},  {0x80, 'N'},
                  {0x100, 'T'}, {0x800, 'C'}, {0x1000, 'O'}, {0x2000, 'I'}, {0x4000, 'E'}};
  std::string letters;
  for (const auto& entry : kLetters) {
    if (attributes & entry.bit) letters += entry.letter;
  }
  return letters.empty() ? "-" : letters;
}

std::string LocalTimeText(uint64_t fileTime) {
  constexpr int64_t kEpochDifference = 11644473600;  // seconds, 1601 to 1970
  int64_t seconds = static_cast<int64_t>(fileTime / 10000000) - kEpochDifference;
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
#ifdef _WIN32
  if (seconds < 0 || localtime_s(&local, &time) != 0) return "-";
#else
  if (localtime_r(&time, &local) == nullptr) return "-";
#endif
  char text[32];
  if (std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &local) == 0) return "-";
  return text;
}

std::string RatioText(int64_t packed, int64_t size) {
  if (size <= 0) return "-";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(size));
  return text;
}
