// Which entry names may be extracted: a name must stay inside the
// destination folder and must not reach a device.
#pragma once

#include <cstdint>

// Code page 932: these bytes start a two-byte character, whose second byte
// may be 0x5C ("\") or 0x7C ("|") without being one.
inline bool IsCp932LeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF);
}

// True when the code page 932 name (length bytes, no terminator) is safe to
// create below a folder. Its elements are separated by "\" (not the second
// byte of a two-byte character) or "/". Refused: an empty name or element
// (so also a leading, trailing or doubled separator), "." and "..", any ":"
// (drive letters, alternate data streams), an element that is a device
// name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CONIN$, CONOUT$, with or
// without an extension, any case), an element ending in "." or " ", control
// bytes, and a two-byte character that is cut off or has an invalid second
// byte.
bool IsSafeEntryName(const char* name, int length);
