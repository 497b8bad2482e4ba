// Which entry names may be extracted: a name must stay inside the
// destination folder and must not reach a device.
#pragma once

#include <cstdint>

// Code page 932 as Windows reads a file name: these bytes start a two-byte
// character (0xF0-0xF9 the user-defined area, 0xFA-0xFC the IBM extension
// kanji), whose second byte may be 0x5C ("\") or 0x7C ("|") without being
// one. The installer's own path trimming keeps a narrower rule of its own.
inline bool IsCp932LeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

inline bool IsCp932TrailByte(uint8_t byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

// How many bytes the character at the start of `left` bytes takes: 1, or
// 2 for a lead byte with its second byte; 0 when a lead byte has no valid
// second byte (cut off, or one that no two-byte character has).
inline int Cp932CharacterLength(const uint8_t* bytes, int left) {
  if (!IsCp932LeadByte(bytes[0])) return 1;
  return left >= 2 && IsCp932TrailByte(bytes[1]) ? 2 : 0;
}

// Why a name is unsafe to create below a folder, or kSafe.
enum class EntryNameFault {
  kSafe,
  kEmptyElement,   // an empty name or element: a leading, trailing or doubled separator
  kDotOrSpaceEnd,  // an element ends in "." or " " (so also "." and "..")
  kDevice,         // an element is a device name
  kForbiddenByte,  // a control byte or ":" (drive letters, alternate data streams)
  kCutCharacter,   // a two-byte character cut off or with an invalid second byte
};

// Checks the code page 932 name (length bytes, no terminator). Its elements
// are separated by "\" (not the second byte of a two-byte character) or
// "/". Device names are CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, CONIN$ and
// CONOUT$, with or without an extension, in any case.
EntryNameFault CheckEntryName(const char* name, int length);

inline bool IsSafeEntryName(const char* name, int length) {
  return CheckEntryName(name, length) == EntryNameFault::kSafe;
}
