// The installer's Shift-JIS path helpers and the bounded path composition.
// Two-byte characters are written as their bytes: "\x83\x5C" is "ソ", whose
// second byte is a backslash.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "installer/folder_paths.h"
#include "installer/shift_jis_path.h"

namespace {

struct LeadByteCase {
  const char* text;
  int index;
  int expected;
};

TEST(IsLeadByteAt, WalksCharacterByCharacterFromTheStart) {
  const LeadByteCase cases[] = {
      {"A\x83\x5C", 1, 1},          // lead byte of ソ
      {"A\x83\x5C", 2, 0},          // its second byte, although 0x5C
      {"A\x83\x5C", 0, 0},          // a single byte
      {"\x83\x83\x83\x5C", 1, 0},   // second byte of the first ソ-like pair
      {"\x83\x83\x83\x5C", 2, 1},   // lead of the second pair
      {"\x9F\x40", 0, 1},           // top of the first lead range
      {"\xE0\x40", 0, 1},           // bottom of the second range
      {"\xEF\x40", 0, 1},           // top of the second range
      {"\x80\x40", 0, 0},           // below the first range
      {"\xA0\x40", 0, 0},           // between the ranges (half-width kana)
      {"\xF0\x40", 0, 0},           // 0xF0-0xFC count as single bytes
      {"\xFC\x40", 0, 0},
      {"AB", -1, 0},                // negative index
      {"AB", 5, 0},                 // past the terminator
      {"A\x83", 1, 1},              // a lone lead byte at the end
  };
  for (const LeadByteCase& c : cases) {
    EXPECT_EQ(IsLeadByteAt(c.text, c.index), c.expected) << "index " << c.index;
  }
}

struct CutCase {
  const char* path;
  const char* expected;
};

TEST(CutAtLastSeparator, RemovesTheLastElement) {
  const CutCase cases[] = {
      {"C:\\A\\B", "C:\\A"},
      {"C:\\A", "C:"},
      {"C:x", "C:"},                   // after a drive colon the colon stays
      {"C:", "C:"},
      {"\\A", "\\A"},                  // only separator at position 0
      {"ABC", "ABC"},
      {"", ""},
      {"C:\\WIN\\UnpackDir3\\*.*", "C:\\WIN\\UnpackDir3"},
      {"C:\\\x83\x5C\\UnpackDir1", "C:\\\x83\x5C"},   // ソ's 0x5C is no separator
      {"C:\\A\\\x83\x5C", "C:\\A"},
  };
  for (const CutCase& c : cases) {
    char buffer[kPathBufferSize];
    std::strcpy(buffer, c.path);
    CutAtLastSeparator(buffer);
    EXPECT_STREQ(buffer, c.expected) << c.path;
  }
}

TEST(CutExtension, StopsAtTheLastRealSeparator) {
  const CutCase cases[] = {
      {"C:\\Temp\\kormit163.exe", "C:\\Temp\\kormit163"},
      {"C:\\Temp\\a.b.exe", "C:\\Temp\\a.b"},            // only the last dot
      {"C:\\my.tools\\kormit", "C:\\my.tools\\kormit"},  // never the folder's dot
      {"C:\\my.tools\\", "C:\\my.tools\\"},
      {"C:\\dir\\a.\x83\x5C", "C:\\dir\\a"},             // ソ's 0x5C is no separator
      {"C:\\d.\x83\x5C\\x", "C:\\d.\x83\x5C\\x"},
      {"kormit", "kormit"},
      {".exe", ".exe"},                                  // byte 0 is never examined
      {"a.exe", "a"},
      {"", ""},
  };
  for (const CutCase& c : cases) {
    char buffer[kPathBufferSize];
    std::strcpy(buffer, c.path);
    CutExtension(buffer);
    EXPECT_STREQ(buffer, c.expected) << c.path;
  }
}

std::string Repeat(char c, size_t count) { return std::string(count, c); }

TEST(AppendPath, RefusesWhatWouldNotFitAndKeepsTheBuffer) {
  char buffer[8] = "abc";
  EXPECT_EQ(AppendPath(buffer, sizeof buffer, "defg"), 1);  // 7 bytes + NUL
  EXPECT_STREQ(buffer, "abcdefg");
  EXPECT_EQ(AppendPath(buffer, sizeof buffer, "h"), 0);
  EXPECT_STREQ(buffer, "abcdefg");
}

TEST(ComposedPaths, FitExactlyOrAreRefused) {
  char out[kPathBufferSize + 16];
  std::memset(out, 'X', sizeof out);

  // folder + "\" + name: 257 + 1 + 1 = 259 bytes and the NUL fit.
  const std::string folder257 = Repeat('f', 257);
  EXPECT_EQ(ComposeFolderEntry(out, folder257.c_str(), "n"), 1);
  EXPECT_EQ(std::strlen(out), 259u);
  EXPECT_EQ(ComposeFolderEntry(out, folder257.c_str(), "nn"), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(out[kPathBufferSize], 'X');  // nothing written past the buffer

  EXPECT_EQ(ComposeFolderPattern(out, "C:\\x"), 1);
  EXPECT_STREQ(out, "C:\\x\\*.*");
  EXPECT_EQ(ComposeFolderPattern(out, Repeat('f', 256).c_str()), 0);
}

TEST(ComposeSetupCommandLine, QuotesThePathOfAnyFolderAPathBufferHolds) {
  char out[kSetupCommandLineSize + 1];
  EXPECT_EQ(ComposeSetupCommandLine(out, "C:\\Program Files\\Kormit"), 1);
  EXPECT_STREQ(out, "\"C:\\Program Files\\Kormit\\Setup.exe\"");
  // Quotes, "\Setup.exe" and the NUL: 13 bytes besides the folder.
  EXPECT_EQ(ComposeSetupCommandLine(out, Repeat('f', kPathBufferSize - 1).c_str()), 1);
  EXPECT_EQ(std::strlen(out), static_cast<size_t>(kSetupCommandLineSize - 1));
  out[kSetupCommandLineSize] = 'X';
  EXPECT_EQ(ComposeSetupCommandLine(out, Repeat('f', kPathBufferSize).c_str()), 0);
  EXPECT_EQ(out[kSetupCommandLineSize], 'X');  // nothing written past the buffer
}

TEST(ComposeInstallProbe, WritesTheNumberedProbeOrRefuses) {
  char out[kPathBufferSize];
  std::strcpy(out, "C:\\WINDOWS\\UnpackDir77\\*.*");
  ASSERT_EQ(ComposeInstallProbe(out, 11, 3), 1);
  EXPECT_STREQ(out, "C:\\WINDOWS\\UnpackDir3\\*.*");
  ASSERT_EQ(ComposeInstallProbe(out, 11, INT_MAX), 1);
  EXPECT_STREQ(out, "C:\\WINDOWS\\UnpackDir2147483647\\*.*");

  // "UnpackDir1\*.*" is 14 bytes: a 245-byte prefix leaves room, 246 not.
  std::string prefix = Repeat('w', 244) + "\\";
  std::strcpy(out, prefix.c_str());
  EXPECT_EQ(ComposeInstallProbe(out, 245, 1), 1);
  EXPECT_EQ(std::strlen(out), 259u);
  prefix = Repeat('w', 245) + "\\";
  std::strcpy(out, prefix.c_str());
  EXPECT_EQ(ComposeInstallProbe(out, 246, 1), 0);
  EXPECT_EQ(ComposeInstallProbe(out, 246, -1), 0);
}

}  // namespace
