// The project's narrow literals must be code page 932 bytes, whatever the
// build; and under Wine the ANSI code page must be 932 too, or every ANSI
// call would read those bytes as another language.
#include <gtest/gtest.h>

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

TEST(Charset, JapaneseLiteralIsShiftJis) {
  const char text[] = "開始";  // the confirmation dialog's start button
  const unsigned char expected[] = {0x8A, 0x4A, 0x8E, 0x6E, 0x00};
  ASSERT_EQ(sizeof(text), sizeof(expected));
  EXPECT_EQ(0, std::memcmp(text, expected, sizeof(expected)));
}

TEST(Charset, HalfWidthKatakanaIsSingleBytes) {
  const char text[] = "ｷｬﾝｾﾙ";
  const unsigned char expected[] = {0xB7, 0xAC, 0xDD, 0xBE, 0xD9, 0x00};
  ASSERT_EQ(sizeof(text), sizeof(expected));
  EXPECT_EQ(0, std::memcmp(text, expected, sizeof(expected)));
}

#ifdef _WIN32
TEST(Charset, AnsiCodePageIs932) { EXPECT_EQ(932u, GetACP()); }

TEST(Charset, FileWithJapaneseNameCanBeCreatedAndFound) {
  ASSERT_EQ(932u, GetACP());
  char folder[MAX_PATH];
  ASSERT_NE(0u, GetTempPathA(sizeof(folder), folder));
  char path[MAX_PATH];
  std::strcpy(path, folder);
  std::strcat(path, "ソフト表示テスト.txt");  // "ソ" and "表" end in 0x5C
  DeleteFileA(path);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  CloseHandle(file);

  char pattern[MAX_PATH];
  std::strcpy(pattern, folder);
  std::strcat(pattern, "*.txt");
  WIN32_FIND_DATAA found;
  HANDLE walk = FindFirstFileA(pattern, &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, walk);
  bool seen = false;
  do {
    seen = seen || std::strcmp(found.cFileName, "ソフト表示テスト.txt") == 0;
  } while (FindNextFileA(walk, &found));
  FindClose(walk);
  EXPECT_TRUE(seen);
  EXPECT_TRUE(DeleteFileA(path));
}
#endif
