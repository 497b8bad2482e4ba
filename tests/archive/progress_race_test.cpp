// The progress target detached by another thread while an extraction runs. This program and the extractor
// in it are built with ThreadSanitizer, which fails the run on any access to
// the target that the two threads leave unordered.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/archive/extract_test_support.h"

namespace {

// Only relaxed operations between the threads: they hand over the turn
// without ordering anything else, so the extractor's own accesses must be
// safe by themselves.
std::atomic<int> theCalls{0};
std::atomic<bool> theDetached{false};

class CountAndWaitForDetach final : public ProgressReceiver {
 public:
  void OnProgress(int32_t, int32_t) noexcept override {
    if (theCalls.fetch_add(1, std::memory_order_relaxed) == 0) {
      while (!theDetached.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
  }
};

TEST(ProgressTarget, DetachFromAnotherThreadDuringExtraction) {
  const archive_test::Bytes archive = archive_test::ArchiveBuilder().File("a.txt", std::string(4096, 'a')).Build();
  TempFolder folder;
  PackReader reader;
  CountAndWaitForDetach receiver;
  reader.SetProgressTarget(&receiver);
  std::thread closer([&reader] {
    while (theCalls.load(std::memory_order_relaxed) == 0) std::this_thread::yield();
    reader.SetProgressTarget(nullptr);
    theDetached.store(true, std::memory_order_relaxed);
  });
  EXPECT_EQ(1, reader.ExtractFromMemory(archive.data(), folder.path(), nullptr));
  closer.join();
  EXPECT_EQ(1, theCalls.load()) << "progress after the detach";
}

}  // namespace
