// Code page 932 text walked character by character. A two-byte character's
// second byte may be 0x5C ("\") or 0x7C ("|") without being one, so a
// separator or a forbidden byte is only ever looked for in a character of
// one byte. Every part of the project that walks such text (entry names,
// the packager's name rules, the POSIX file names, the installer's paths,
// and the Windows command's paths in the ANSI code page) walks it here,
// each with its rule for which bytes start a two-byte character and which
// may follow one.
#pragma once

#include <cstddef>
#include <cstdint>

// Code page 932 as Windows reads a file name: these bytes start a two-byte
// character (0xF0-0xF9 the user-defined area, 0xFA-0xFC the IBM extension
// kanji).
constexpr bool IsCp932LeadByte(uint8_t byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The installer's own rule for its paths, narrower than Windows' (no
// 0xF0-0xFC): with TerminatedCharacterSize, a second byte is whatever
// follows a lead byte but the NUL.
constexpr bool IsInstallerCp932LeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xEF);
}

// The bytes that a two-byte character may end in.
constexpr bool IsCp932TrailByte(uint8_t byte) { return byte >= 0x40 && byte <= 0xFC && byte != 0x7F; }

// Any byte at all.
constexpr bool IsAnyByte(uint8_t) { return true; }

// Walks `length` bytes. IsLeadByte says which bytes start a two-byte
// character; IsTrailByte which may be its second byte (by default any: a
// lead byte takes the byte after it, whatever it is, as Windows does when
// it looks for separators in a path). A lead byte without such a second
// byte stands alone, and CutCharacter says so. The rules are template
// arguments, so that each walk has its rule inlined rather than called.
template <bool (*IsLeadByte)(uint8_t) = IsCp932LeadByte, bool (*IsTrailByte)(uint8_t) = IsAnyByte>
class Cp932Walk {
 public:
  Cp932Walk(const char* text, size_t length) : bytes_(reinterpret_cast<const uint8_t*>(text)), length_(length) {}

  bool Done() const { return at_ >= length_; }
  size_t Position() const { return at_; }
  // The character's first byte.
  uint8_t Byte() const { return bytes_[at_]; }
  bool AtLeadByte() const { return IsLeadByte(Byte()); }
  // 2 for a lead byte with a second byte that the rule takes, else 1.
  size_t Size() const { return AtLeadByte() && at_ + 1 < length_ && IsTrailByte(bytes_[at_ + 1]) ? 2 : 1; }
  bool CutCharacter() const { return AtLeadByte() && Size() == 1; }
  // The character's last byte.
  uint8_t LastByte() const { return bytes_[at_ + Size() - 1]; }
  // "\" or "/" as a character of its own.
  bool AtSeparator() const { return Size() == 1 && (Byte() == '\\' || Byte() == '/'); }
  void Next() { at_ += Size(); }

 private:
  const uint8_t* bytes_;
  size_t length_;
  size_t at_ = 0;
};

// The same step in a NUL-terminated text: 2 for a lead byte before
// anything but the NUL, else 1 (a lead byte before the NUL stands alone).
// For the installer's path buffers, which it never measures.
template <bool (*IsLeadByte)(uint8_t)>
inline int TerminatedCharacterSize(const char* text) {
  return IsLeadByte(static_cast<uint8_t>(text[0])) && text[1] != '\0' ? 2 : 1;
}

// A name as it is judged before it is made: a lead byte takes only a valid
// second byte.
using Cp932NameWalk = Cp932Walk<IsCp932LeadByte, IsCp932TrailByte>;

// How many bytes the character at the start of `left` (>= 1) bytes takes
// as a name is judged (Cp932NameWalk): 1, or 2 for a lead byte with its
// second byte; 0 when a lead byte has no valid second byte (cut off, or one
// that no two-byte character has). Written out for the extractor's name
// check, which the installer carries: as small as the walk is not.
inline int Cp932CharacterLength(const uint8_t* bytes, int left) {
  if (!IsCp932LeadByte(bytes[0])) return 1;
  return left >= 2 && IsCp932TrailByte(bytes[1]) ? 2 : 0;
}
