// A chunk buffer that cannot be allocated: the extraction fails cleanly.
// The extractor allocates with the non-throwing array new, which this test
// program replaces so that one chosen call can fail.
#include <gtest/gtest.h>

#include <new>

#include "tests/archive/extract_test_support.h"

namespace {
bool failNextArrayNew = false;
}  // namespace

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (failNextArrayNew) {
    failNextArrayNew = false;
    return nullptr;
  }
  try {
    return ::operator new[](size);
  } catch (...) {
    return nullptr;
  }
}

namespace archive_test {
namespace {

TEST(ExtractAllocation, NoChunkBufferIsAReadErrorAndCreatesNothing) {
  const Bytes archive = ArchiveBuilder().File("a.txt", "x").Build();
  TempFolder folder;
  PackReader reader;
  failNextArrayNew = true;
  const Extracted out = ExtractArchive(archive, folder.path(), &reader);
  EXPECT_FALSE(failNextArrayNew) << "the extractor did not allocate its chunk buffer";
  EXPECT_EQ(0, out.result);
  EXPECT_STREQ("リードエラー！", out.report.message);
  EXPECT_TRUE(FolderEntries(folder.path()).empty());

  EXPECT_EQ(1, ExtractArchive(archive, folder.path(), &reader).result);
}

}  // namespace
}  // namespace archive_test
