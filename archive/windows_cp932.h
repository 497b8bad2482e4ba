// How Windows reads the code page 932 bytes of a file name beyond the
// characters that the code page assigns (which iconv's CP932 reads the same
// way): it refuses no byte sequence. Every two-byte code without a
// character of its own, and a lead byte without a second byte, becomes "・"
// (U+30FB), the character of 81 45; the one-byte codes 0x80, 0xA0 and
// 0xFD-0xFF become U+0080 and U+F8F0-U+F8F3. CreateFileA converts names so,
// which decides what file a name makes and which names are one file.
#pragma once

#include <cstdint>

// "・" in code page 932 and in Unicode: what Windows reads every unassigned
// two-byte code as.
constexpr uint16_t kCp932MiddleDot = 0x8145;
constexpr uint16_t kUnicodeMiddleDot = 0x30FB;

// Whether the two-byte code (lead byte << 8 | second byte) is a character
// of code page 932: valid first and second byte, and assigned.
bool IsAssignedCp932Code(uint16_t code);

// The Unicode character that Windows reads at the start of `left` (>= 1)
// bytes where code page 932 assigns none, and in *length how many bytes it
// takes (2 for a lead byte and any second byte but NUL, else 1); 0 when the
// bytes start an assigned two-byte character or any other one-byte code.
uint16_t Cp932CharacterOnlyWindowsReads(const uint8_t* bytes, int left, int* length);
