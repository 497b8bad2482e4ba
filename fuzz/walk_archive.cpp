// filepacker's test and list on arbitrary archives and installers, through
// the requests that the command and the web module make: the installer's
// extractor behind a simulated install folder. Whatever the bytes, the walk
// stays inside them, a failure says where (within the bytes and the entries
// met) and why, what is accepted adds up, and test accepts exactly what list
// accepts without flagging a name.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tests/archive/hostile_support.h"
#include "engine/requests.h"

namespace {

void Check(const ArchiveWalk& walk, size_t size) {
  if (walk.fileLength != static_cast<int64_t>(size)) std::abort();
  for (const WalkedEntry& entry : walk.entries) {
    int64_t decoded = 0;
    for (const WalkedChunk& chunk : entry.chunks) {
      if (chunk.offset < 0 || static_cast<size_t>(chunk.offset) + 4 + chunk.coded > size) std::abort();
      decoded += chunk.decoded;
    }
    if (walk.ok && decoded != entry.size) std::abort();
  }
  const ArchiveFault& fault = walk.fault;
  if (walk.ok) {
    if (!fault.cause.empty() || walk.report.fileCount != static_cast<int32_t>(walk.entries.size())) std::abort();
    return;
  }
  if (fault.cause.empty() || !archive_test::IsFailureText(fault.outcome.c_str())) std::abort();
  if (fault.offset < -1 || fault.offset > static_cast<int64_t>(size)) std::abort();
  if (fault.entry < 0 || fault.entry > static_cast<int>(walk.entries.size()) + 1) std::abort();
  if (fault.chunk > 0) {
    if (fault.entry != static_cast<int>(walk.entries.size())) std::abort();
    if (fault.chunk != static_cast<int>(walk.entries.back().chunks.size()) + 1) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ArchiveInput input;
  // An executable that carries no archive is refused before any walk.
  if (input.TakeBytes("input", std::vector<uint8_t>(data, data + size)).refusal.Refused()) return 0;
  const size_t length = input.bytes().size();
  const TestResult test = TestArchive(input);
  const ListResult list = ListArchive(input);
  // A damaged payload is refused by test before it is walked; list walks it.
  if (list.check.integrity != Integrity::kDamaged) Check(test.walk, length);
  Check(list.walk, length);
  if (test.refusal.Refused() == test.walk.ok) std::abort();
  bool flagged = false;
  for (const WalkedEntry& entry : list.walk.entries) flagged |= !entry.refusal.empty();
  if (test.refusal.Refused() != (list.refusal.Refused() || flagged)) std::abort();
  return 0;
}
