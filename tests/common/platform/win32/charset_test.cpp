// Under Wine the ANSI code page must be 932, or every ANSI call would read
// the project's code page 932 literals as another language.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

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
