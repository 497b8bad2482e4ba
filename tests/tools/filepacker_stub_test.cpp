// filepacker carries the installer stub of the build that made it: the very
// bytes of the build's Kormit_bare.exe, whose header bears the configured
// date and not the time of the build, so that two builds of one tree carry
// the same stub.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/little_endian.h"
#include "tests/common/test_files.h"
#include "tests/tools/filepacker_process.h"
#include "tools/filepacker/embedded_stub.h"

#ifdef KORMIT_STUB_PATH
namespace {

std::string StubPath() { return HostPath(KORMIT_STUB_PATH); }

TEST(EmbeddedStub, IsTheBuildsStubStampedWithTheConfiguredDate) {
  const std::span<const uint8_t> stub = EmbeddedStub();
  const std::string file = ReadFileBytes(StubPath());
  ASSERT_FALSE(file.empty()) << StubPath();
  ASSERT_EQ(std::string(stub.begin(), stub.end()), file);

  ASSERT_GT(stub.size(), 0x40u);
  const uint32_t header = LoadUint32(stub.data() + 0x3C);
  ASSERT_LT(header + 12, stub.size());
  EXPECT_EQ(LoadUint32(stub.data() + header + 8), uint32_t{KORMIT_SOURCE_DATE_EPOCH});
}

}  // namespace
#endif
