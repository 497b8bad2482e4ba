// The one walk over code page 932 text (base/cp932_walk.h): where it finds
// characters, separators and cut characters under the path rule (a lead
// byte takes any byte after it) and the name rule (only a valid second
// byte), and the step of a NUL-terminated text.
#include <gtest/gtest.h>

#include <string>

#include "base/cp932_walk.h"

namespace {

// The walk written out: each character's bytes, "|" between characters,
// "/" for a separator and "!" before a cut character.
template <typename Walk>
std::string Walked(const std::string& text) {
  std::string out;
  for (Walk walk(text.data(), text.size()); !walk.Done(); walk.Next()) {
    if (!out.empty()) out += '|';
    if (walk.AtSeparator()) {
      out += '/';
      continue;
    }
    if (walk.CutCharacter()) out += '!';
    for (size_t i = 0; i < walk.Size(); ++i) out += text[walk.Position() + i];
  }
  return out;
}

struct WalkCase {
  const char* what;
  std::string text;
  std::string asPath;  // Cp932Walk<>
  std::string asName;  // Cp932NameWalk
};

TEST(Cp932Walk, FindsCharactersAndSeparatorsByEachRule) {
  const WalkCase cases[] = {
      {"ASCII with both separators", "a\\b/c", "a|/|b|/|c", "a|/|b|/|c"},
      {"0x5C as a second byte is no separator", "\x83\x5C\\x", "\x83\x5C|/|x", "\x83\x5C|/|x"},
      {"0x7C as a second byte", "\x95\x7C", "\x95\x7C", "\x95\x7C"},
      {"user-defined and IBM lead bytes", "\xF0\x40\xFC\x5C", "\xF0\x40|\xFC\x5C", "\xF0\x40|\xFC\x5C"},
      {"a lead byte at the end", "a\x81", "a|!\x81", "a|!\x81"},
      {"'/' after a lead byte: no second byte for a name", "\x81/b", "\x81/|b", "!\x81|/|b"},
      {"0x7F after a lead byte", "\xE0\x7F", "\xE0\x7F", "!\xE0|\x7F"},
      {"single-byte katakana and 0x80, 0xA0, 0xFD", "\xB1\x80\xA0\xFD", "\xB1|\x80|\xA0|\xFD", "\xB1|\x80|\xA0|\xFD"},
  };
  for (const WalkCase& c : cases) {
    EXPECT_EQ(Walked<Cp932Walk<>>(c.text), c.asPath) << c.what;
    EXPECT_EQ(Walked<Cp932NameWalk>(c.text), c.asName) << c.what;
  }
}

TEST(Cp932Walk, CharacterLengthIsTheNameRule) {
  for (int lead = 0; lead < 256; ++lead) {
    for (int second = 0; second < 256; ++second) {
      const uint8_t pair[2] = {static_cast<uint8_t>(lead), static_cast<uint8_t>(second)};
      const Cp932NameWalk walk(reinterpret_cast<const char*>(pair), 2);
      ASSERT_EQ(Cp932CharacterLength(pair, 2), walk.CutCharacter() ? 0 : static_cast<int>(walk.Size()))
          << lead << " " << second;
    }
  }
}

TEST(Cp932Walk, TerminatedStepStopsAtTheNulAndTakesTheRuleGiven) {
  EXPECT_EQ(TerminatedCharacterSize<IsCp932LeadByte>("\x81\x5C"), 2);
  EXPECT_EQ(TerminatedCharacterSize<IsCp932LeadByte>("\x81"), 1);  // before the NUL
  EXPECT_EQ(TerminatedCharacterSize<IsCp932LeadByte>("a\x81"), 1);
  EXPECT_EQ(TerminatedCharacterSize<IsCp932LeadByte>("\xF0\x5C"), 2);
  EXPECT_EQ(TerminatedCharacterSize<IsInstallerCp932LeadByte>("\xF0\x5C"), 1);  // the installer's narrower rule
  EXPECT_EQ(Walked<Cp932Walk<IsInstallerCp932LeadByte>>("\xF0\\"), "\xF0|/");
}

}  // namespace
