// The PE reader and the payload writer on arbitrary bytes. The payload
// lookup and the stub check must stay inside the bytes and say why they
// refuse; a stub that passes the check must take a payload, giving an
// installer whose payload reads back, which holds every resource of the
// stub and one more, and which is no stub any more.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "pe/payload_resource.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  PayloadLocation where;
  std::string error;
  if (FindPayload(file, where, error)) {
    if (uint64_t{where.offset} + where.size > size) std::abort();
  } else if (error.empty()) {
    std::abort();
  }
  PayloadStub stub;
  error.clear();
  if (!CheckPayloadStub(file, stub, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  static const uint8_t kPayload[] = "FILE_PACKER 1.00/*** a payload for the fuzzer";
  std::vector<uint8_t> installer;
  if (!AddPayload(stub, kPayload, {}, installer, where, error)) std::abort();
  PayloadStub again;
  if (CheckPayloadStub(installer, again, error)) std::abort();
  PeImage image;
  ResourceTree tree;
  if (!ReadPeImage(installer, image, error) || !ReadResourceTree(image, tree, error) ||
      tree.leaves.size() != stub.tree.leaves.size() + 1) {
    std::abort();
  }
  return 0;
}
