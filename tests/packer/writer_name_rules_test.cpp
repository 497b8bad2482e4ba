// Which names Windows takes for one file: the fold of WindowsNameKey over
// every two-byte character of code page 932, against the system's own
// conversion to Unicode and its upper case; and the Setup.exe check.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <clocale>
#include <cwctype>
#endif

#include "packer/cp932_text.h"
#include "packer/name_rules.h"
#include "tests/common/test_files.h"

namespace {

// The character as Unicode upper case, as the system converts and folds it;
// 0 when the code is no character.
uint32_t SystemUpperCase(const std::string& cp932) {
#ifdef _WIN32
  wchar_t wide[4];
  const int count =
      MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, cp932.data(), static_cast<int>(cp932.size()), wide, 4);
  if (count != 1) return 0;
  CharUpperBuffW(wide, 1);
  return wide[0];
#else
  std::string utf8;
  if (!Cp932ToUtf8(cp932, utf8) || utf8.size() < 2 || utf8.size() > 3) return 0;
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(utf8[i])); };
  const uint32_t code = utf8.size() == 2 ? (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F)
                                         : (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
  static const bool locale = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
  EXPECT_TRUE(locale);
  return static_cast<uint32_t>(std::towupper(static_cast<wint_t>(code)));
#endif
}

// Two characters have one key exactly when the system folds them to one
// upper-case character: the same partition of all two-byte codes.
TEST(NameRules, FoldAgreesWithTheSystemOnEveryTwoByteCharacter) {
  std::map<uint32_t, std::set<std::string>> bySystem;
  std::map<std::string, std::set<std::string>> byKey;
  int characters = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;  // one-byte characters
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const uint32_t upper = SystemUpperCase(code);
      if (upper == 0) continue;
      ++characters;
      bySystem[upper].insert(code);
      byKey[WindowsNameKey(code)].insert(code);
    }
  }
  EXPECT_GT(characters, 7000);
  std::set<std::set<std::string>> systemClasses, keyClasses;
  for (const auto& [upper, codes] : bySystem) systemClasses.insert(codes);
  for (const auto& [key, codes] : byKey) keyClasses.insert(codes);
  for (const std::set<std::string>& codes : systemClasses) {
    if (keyClasses.count(codes) == 0) {
      std::string hex;
      for (const std::string& code : codes) {
        char text[8];
        std::snprintf(text, sizeof text, " %02X%02X", static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]));
        hex += text;
      }
      ADD_FAILURE() << "the system takes these for one character, WindowsNameKey does not agree:" << hex;
    }
  }
  EXPECT_EQ(systemClasses.size(), keyClasses.size());
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

#ifdef _WIN32
// The file system itself: for every character that folds to another, a file
// of the one is in the way of creating the other.
TEST(NameRules, TheFileSystemTakesFoldedNamesForOneFile) {
  TempFolder folder;
  int pairs = 0;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead >= 0xA0 && lead <= 0xDF) continue;  // one-byte characters
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      const std::string code = {static_cast<char>(lead), static_cast<char>(trail)};
      const std::string key = WindowsNameKey(code);
      if (key == code) continue;
      ++pairs;
      const std::string first = JoinPath(folder.path(), code + ".txt");
      const std::string second = JoinPath(folder.path(), key + ".txt");
      HANDLE file = CreateFileA(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(INVALID_HANDLE_VALUE, file) << first;
      CloseHandle(file);
      file = CreateFileA(second.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      EXPECT_EQ(INVALID_HANDLE_VALUE, file) << "created beside " << first << ": " << second;
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      DeleteFileA(first.c_str());
      DeleteFileA(second.c_str());
    }
  }
  EXPECT_EQ(491, pairs);
}
#endif

}  // namespace
