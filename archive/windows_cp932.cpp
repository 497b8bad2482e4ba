#include "archive/windows_cp932.h"

#include "archive/entry_name.h"

namespace {

// The assigned two-byte codes, as ranges that may span the codes of invalid
// second bytes (none is assigned): JIS X 0208 with the NEC row 13 symbols,
// the NEC-selected IBM extension (ED-EE), the user-defined area (F0-F9) and
// the IBM extension (FA-FC).
struct CodeRange {
  uint16_t first;
  uint16_t last;
};
constexpr CodeRange kAssigned[] = {
    {0x8140, 0x81AC}, {0x81B8, 0x81BF}, {0x81C8, 0x81CE}, {0x81DA, 0x81E8}, {0x81F0, 0x81F7}, {0x81FC, 0x81FC},
    {0x824F, 0x8258}, {0x8260, 0x8279}, {0x8281, 0x829A}, {0x829F, 0x82F1}, {0x8340, 0x8396}, {0x839F, 0x83B6},
    {0x83BF, 0x83D6}, {0x8440, 0x8460}, {0x8470, 0x8491}, {0x849F, 0x84BE}, {0x8740, 0x875D}, {0x875F, 0x8775},
    {0x877E, 0x879C}, {0x889F, 0x9872}, {0x989F, 0xEAA4}, {0xED40, 0xEEEC}, {0xEEEF, 0xEEFC}, {0xF040, 0xFC4B},
};

}  // namespace

bool IsAssignedCp932Code(uint16_t code) {
  const uint8_t lead = static_cast<uint8_t>(code >> 8);
  const uint8_t trail = static_cast<uint8_t>(code);
  if (!IsCp932LeadByte(lead) || !IsCp932TrailByte(trail)) return false;
  for (const CodeRange& range : kAssigned) {
    if (code >= range.first && code <= range.last) return true;
  }
  return false;
}

uint16_t Cp932CharacterOnlyWindowsReads(const uint8_t* bytes, int left, int* length) {
  *length = 1;
  const uint8_t byte = bytes[0];
  if (IsCp932LeadByte(byte)) {
    if (left >= 2 && bytes[1] != 0) {
      *length = 2;
      if (IsAssignedCp932Code(static_cast<uint16_t>(byte << 8 | bytes[1]))) return 0;
    }
    return kUnicodeMiddleDot;
  }
  if (byte == 0x80) return 0x0080;
  if (byte == 0xA0) return 0xF8F0;
  if (byte >= 0xFD) return static_cast<uint16_t>(0xF8F1 + (byte - 0xFD));
  return 0;
}
