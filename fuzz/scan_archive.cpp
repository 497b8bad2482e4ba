// filepacker's list and test reader on arbitrary archives, with and without
// decoding. It must stay inside the bytes and describe any fault it stops at.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "tools/filepacker/archive_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (bool decode : {false, true}) {
    ScannedArchive archive;
    const bool ok = ScanArchive(std::span<const uint8_t>(data, size), decode, archive);
    if (ok != archive.ok) std::abort();
    if (!ok && archive.fault.what.empty()) std::abort();
    if (archive.fileLength != static_cast<int64_t>(size)) std::abort();
    for (const ScannedEntry& entry : archive.entries) {
      for (const ScannedChunk& chunk : entry.chunks) {
        if (chunk.offset < 0 || chunk.offset >= static_cast<int64_t>(size)) std::abort();
      }
    }
  }
  return 0;
}
