// Which entry names may be extracted: a name must stay inside the
// destination folder and must not reach a device.
#pragma once

#include <cstdint>

#include "base/cp932_walk.h"

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
