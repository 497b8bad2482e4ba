// Which names Windows takes for one file: the fold of WindowsNameKey over
// every name of two bytes, against the system's own conversion to Unicode
// and its upper case; and the Setup.exe check.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/escaped_bytes.h"
#include "archive/windows_cp932.h"
#include "host/cp932_text.h"
#include "archive/name_rules.h"
#include "packer/pack_sources.h"
#include "tests/common/test_files.h"
#include "tests/packer/writer_system.h"

namespace {

// The name upper-cased as the system reads it, character by character.
std::u32string SystemUpperCase(const std::string& name) {
  std::u32string upper;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(name.data());
  for (size_t i = 0; i < name.size();) {
    int length = 0;
    const uint32_t ours = Cp932CharacterOnlyWindowsReads(bytes + i, static_cast<int>(name.size() - i), &length);
    const std::string piece = name.substr(i, static_cast<size_t>(length));
    i += static_cast<size_t>(length);
    upper += SystemUpperCharacter(piece, ours);
  }
  return upper;
}

// Two names of two bytes have one key exactly when the system reads them
// as one upper-case text: the same partition of all 65,536.
TEST(NameRules, FoldAgreesWithTheSystemOnEveryTwoByteName) {
  std::map<std::u32string, std::set<std::string>> bySystem;
  std::map<std::string, std::set<std::string>> byKey;
  for (int first = 0; first <= 0xFF; ++first) {
    for (int second = 0; second <= 0xFF; ++second) {
      const std::string name = {static_cast<char>(first), static_cast<char>(second)};
      bySystem[SystemUpperCase(name)].insert(name);
      byKey[WindowsNameKey(name)].insert(name);
    }
  }
  std::set<std::set<std::string>> systemClasses, keyClasses;
  for (const auto& [upper, names] : bySystem) systemClasses.insert(names);
  for (const auto& [key, names] : byKey) keyClasses.insert(names);
  int shown = 0;
  for (const std::set<std::string>& names : systemClasses) {
    if (keyClasses.count(names) != 0 || ++shown > 20) continue;
    std::string list;
    for (const std::string& name : names) list += " " + EscapedBytes(name);
    ADD_FAILURE() << "the system takes these for one name, WindowsNameKey does not agree:" << list;
  }
  EXPECT_EQ(systemClasses.size(), keyClasses.size());
  // "・" itself, the 1676 unassigned codes, and the 60 lead bytes with each
  // of the 67 second bytes that no character has (NUL ends a lead byte).
  EXPECT_EQ(1u + 1676u + 60u * 67u, bySystem[SystemUpperCase("\x81\x45")].size());
}

TEST(NameRules, KeysOfWholeNames) {
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {
      {"Read.me", "READ.ME", true},     {"ａ.txt", "Ａ.txt", true}, {"α.txt", "Α.txt", true},
      {"ё.ini", "Ё.ini", true},         {"ⅳ", "Ⅳ", true},           {"∪", "\x87\x9C", true},
      {"a.txt", "ａ.txt", false},       {"ソ.txt", "ゾ.txt", false}, {"ｱ", "ア", false},
      {"\xFA" "a", "\xFA" "A", false},  // two different IBM kanji, not a letter
      {"\xEE\xEF", "\xFA\x40", true},  // small Roman one, NEC-selected and IBM
      {"\x83\x5C" "a", "\x83\x5C" "A", true},  // the 5C of "ソ" is no separator, the a a letter
      {"a\x85\x40.txt", "a\x81\x45.txt", true},  // unassigned: read as "・"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.same, WindowsNameKey(c.a) == WindowsNameKey(c.b)) << c.a << " / " << c.b;
  }
}

// The basis-name rule's examples, and how it cuts two-byte characters.
TEST(NameRules, NumberedShortNames) {
  const struct {
    std::string name;
    std::string forms;  // all of them, or the first ones and "..."
  } cases[] = {
      {"LongFileName.txt", "LONGFI~1.TXT LONGFI~2.TXT LONGFI~3.TXT LONGFI~4.TXT"},
      {"readme.txt", ""},
      {"A_file.doc", ""},
      {"SETUP", ""},
      {"A file.doc", "AFILE~1.DOC ..."},
      {"This is a really long filename.123.456.789.txt", "THISIS~1.TXT ..."},
      {"archive.tar.gz", "ARCHIV~1.GZ ..."},
      {"page.html", "PAGE~1.HTM ..."},
      {".profile", "PROFIL~1 ..."},
      {"a+b.txt", "AB~1.TXT AB~2.TXT AB~3.TXT AB~4.TXT A_B~1.TXT ..."},
      {"日本語のファイル.txt", "日本語~1.TXT ..."},
      {"abc日本語.txt", "ABC日~1.TXT ..."},  // 本 would make 7 bytes
  };
  for (const auto& c : cases) {
    std::string forms;
    for (const std::string& form : NumberedShortNames(c.name)) forms += (forms.empty() ? "" : " ") + form;
    if (c.forms.ends_with(" ...")) {
      EXPECT_TRUE(forms.starts_with(c.forms.substr(0, c.forms.size() - 3))) << c.name << ": " << forms;
    } else {
      EXPECT_EQ(c.forms, forms) << c.name;
    }
  }
}

TEST(NameRules, SetupExeAsWindowsComparesNames) {
  auto source = [](const std::string& name) {
    PackSource s;
    s.storedName = name;
    return s;
  };
  const struct {
    std::vector<std::string> names;
    bool holds;
  } cases[] = {
      {{"Kormit.exe", "Setup.exe"}, true}, {{"SETUP.EXE"}, true},     {{"setup.exe"}, true},
      {{}, false},                         {{"Setup.ex"}, false},     {{"Setup.exe.bak"}, false},
      {{"Ｓｅｔｕｐ.exe"}, false},          {{"Setup .exe"}, false},
  };
  for (const auto& c : cases) {
    std::vector<PackSource> sources;
    for (const std::string& name : c.names) sources.push_back(source(name));
    EXPECT_EQ(c.holds, HoldsSetupExe(sources)) << (c.names.empty() ? "(none)" : c.names.back());
  }
}

}  // namespace
