// Assembles packed archives for the extractor's tests field by field, with
// chunks made by hand as valid coded blocks, so that no encoder is needed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/little_endian.h"

namespace archive_test {

using Bytes = std::vector<uint8_t>;

inline void PutInt32(Bytes& bytes, int32_t value) { AppendUint32(bytes, static_cast<uint32_t>(value)); }

inline void PutUint64(Bytes& bytes, uint64_t value) { AppendUint64(bytes, value); }

inline void PutText(Bytes& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

// The trivial coded block for data: decoded length n + 1, then a code table
// of one level 8 bits long (g = 1, L[0] = 8: every byte value is its own
// code, so the bit stream is byte-aligned), then the run stage's stored
// form (a 0 byte) followed by the data itself.
inline Bytes StoredBlock(const std::string& data) {
  Bytes block;
  PutInt32(block, static_cast<int32_t>(data.size() + 1));
  block.push_back(1);  // level count g
  block.push_back(8);  // L[0]
  block.push_back(0);  // stored form
  PutText(block, data);
  return block;
}

// FILETIMEs of a real package: 2004-06-18 00:41:26, 2008-08-25 02:43:37 and
// 2008-08-09 23:31:56 UTC, with their 100 ns digits.
struct Info {
  uint32_t attributes = 0x20;
  uint64_t creationTime = 0x01C454CCFCE05F70ull;
  uint64_t lastAccessTime = 0x01C9065C5FE7CCADull;
  uint64_t lastWriteTime = 0x01C8FA781C90E550ull;
};

class ArchiveBuilder {
 public:
  explicit ArchiveBuilder(int32_t blockSize = 1024) : blockSize_(blockSize) {}

  ArchiveBuilder& Tag(const std::string& tag) { tag_ = tag; return *this; }
  ArchiveBuilder& Signature(const std::string& signature) { signature_ = signature; return *this; }
  // Stores the ranges that a transform turns back (signature, names, info
  // records, chunk data) XORed with key, as a test transform expects.
  ArchiveBuilder& XorCoded(uint8_t key) { xorKey_ = key; return *this; }

  // A well-formed entry: content cut into pieces of the block size, each a
  // stored block, then the terminating length.
  ArchiveBuilder& File(const std::string& name, const std::string& content, const Info& info = {}) {
    Entry(name, static_cast<int32_t>(content.size()), info);
    // A block size that the extractor refuses still needs some piece size.
    const size_t piece = blockSize_ > 0 ? static_cast<size_t>(blockSize_) : 1024;
    for (size_t at = 0; at < content.size(); at += piece) Chunk(StoredBlock(content.substr(at, piece)));
    return Length(0);
  }

  // Name length, name, unpacked size and info record; the chunks follow.
  ArchiveBuilder& Entry(const std::string& name, int32_t size, const Info& info = {}) {
    body_.push_back(static_cast<uint8_t>(name.size()));
    Coded(Bytes(name.begin(), name.end()));
    PutInt32(body_, size);
    Bytes record;
    PutInt32(record, static_cast<int32_t>(info.attributes));
    PutUint64(record, info.creationTime);
    PutUint64(record, info.lastAccessTime);
    PutUint64(record, info.lastWriteTime);
    Coded(record);
    return *this;
  }

  // One chunk: its length, then its (coded) data.
  ArchiveBuilder& Chunk(const Bytes& data) {
    PutInt32(body_, static_cast<int32_t>(data.size()));
    Coded(data);
    return *this;
  }

  // A bare 32-bit length, such as a chunk list's terminator.
  ArchiveBuilder& Length(int32_t length) { PutInt32(body_, length); return *this; }
  ArchiveBuilder& Raw(const Bytes& bytes) { body_.insert(body_.end(), bytes.begin(), bytes.end()); return *this; }

  // The container with its end-of-list marker and the size field that
  // covers exactly what was built.
  Bytes Build() const {
    Bytes body = body_;
    body.push_back(0);
    return Assemble(body, static_cast<int32_t>(8 + 4 + body.size()));
  }
  // The same bytes with another value in the size field.
  Bytes BuildWithSize(int32_t sizeField) const {
    Bytes body = body_;
    body.push_back(0);
    return Assemble(body, sizeField);
  }

 private:
  void Coded(Bytes bytes) {
    for (uint8_t& byte : bytes) byte ^= xorKey_;
    body_.insert(body_.end(), bytes.begin(), bytes.end());
  }

  Bytes Assemble(const Bytes& body, int32_t sizeField) const {
    Bytes archive;
    PutText(archive, "FILE_PACKER 1.00");
    PutText(archive, tag_);
    PutInt32(archive, sizeField);
    for (char c : signature_) archive.push_back(static_cast<uint8_t>(c) ^ xorKey_);
    PutInt32(archive, blockSize_);
    archive.insert(archive.end(), body.begin(), body.end());
    return archive;
  }

  int32_t blockSize_;
  std::string tag_ = "/***";
  std::string signature_ = "QVL-2000";
  uint8_t xorKey_ = 0;
  Bytes body_;
};

}  // namespace archive_test
