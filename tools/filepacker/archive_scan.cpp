#include "tools/filepacker/archive_scan.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "archive/block_codec.h"
#include "archive/entry_name.h"
#include "packer/name_rules.h"

namespace {

constexpr int32_t kMinBlockSize = 1024;
constexpr int32_t kMaxBlockSize = 4000000;
constexpr int32_t kChunkSlack = 16;   // a chunk may be this much above the block size
constexpr int32_t kBufferSlack = 512;  // the extractor's chunk buffer: block size + 512

int32_t GetInt32(const uint8_t* at) {
  return static_cast<int32_t>(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                              static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24);
}

uint64_t GetInt64(const uint8_t* at) {
  return static_cast<uint32_t>(GetInt32(at)) | static_cast<uint64_t>(static_cast<uint32_t>(GetInt32(at + 4))) << 32;
}

// The reading position and its bound: the end of the file or, once the size
// field is known, the end of the container, whichever comes first.
struct Cursor {
  std::span<const uint8_t> bytes;
  int64_t position = 0;
  int64_t limit = 0;
  bool limitIsFileEnd = true;

  const uint8_t* Take(int64_t count) {
    if (count < 0 || count > limit - position) return nullptr;
    const uint8_t* at = bytes.data() + position;
    position += count;
    return at;
  }
};

struct Scan {
  ScannedArchive& archive;
  Cursor cursor;
  bool decode;
  std::unique_ptr<BlockCodec> codec;
  std::vector<uint8_t> buffer;

  bool Fail(std::string what, int64_t offset, int entry = -1, int chunk = -1) {
    archive.ok = false;
    archive.fault = ScanFault{std::move(what), entry, chunk, offset};
    return false;
  }

  // A read of count bytes at the cursor; on failure the fault says which
  // bound stopped it.
  const uint8_t* Read(int64_t count, const char* field, int entry = -1, int chunk = -1) {
    int64_t at = cursor.position;
    const uint8_t* bytes = cursor.Take(count);
    if (bytes == nullptr) {
      std::string what = std::string(field) + ": " + std::to_string(count) + " bytes needed, but the " +
                         (cursor.limitIsFileEnd ? "file" : "container (size field)") + " ends at offset " +
                         std::to_string(cursor.limit);
      Fail(what, at, entry, chunk);
    }
    return bytes;
  }

  bool Header() {
    const uint8_t* header = Read(32, "header");
    if (header == nullptr) return false;
    if (std::memcmp(header, "FILE_PACKER 1.00", 16) != 0) return Fail("not an archive: wrong magic", 0);
    archive.sizeField = GetInt32(header + 20);
    if (archive.sizeField <= 0) {
      return Fail("size field " + std::to_string(archive.sizeField) + " is not above 0", 20);
    }
    int64_t containerEnd = static_cast<int64_t>(archive.sizeField) + 24;
    if (containerEnd <= archive.fileLength) {
      cursor.limit = containerEnd;
      cursor.limitIsFileEnd = false;
    }
    if (std::memcmp(header + 16, "/***", 4) != 0) {
      return Fail("coded archive (tag is not \"/***\"): the installer has no transform and refuses it", 16);
    }
    if (std::memcmp(header + 24, "QVL-2000", 8) != 0) return Fail("wrong signature", 24);
    const uint8_t* blockSize = Read(4, "block size");
    if (blockSize == nullptr) return false;
    archive.blockSize = GetInt32(blockSize);
    if (archive.blockSize < kMinBlockSize || archive.blockSize > kMaxBlockSize) {
      return Fail("block size " + std::to_string(archive.blockSize) + " is outside 1024..4000000", 32);
    }
    if (decode) {
      codec = std::make_unique<BlockCodec>();
      buffer.assign(static_cast<size_t>(archive.blockSize) + kBufferSlack, 0);
    }
    return true;
  }

  // Decodes one chunk into the scratch buffer; returns the decoded length,
  // 0 or less on failure, as the codec does.
  int32_t DecodeChunk(const uint8_t* data, int32_t length) {
    std::memcpy(buffer.data(), data, static_cast<size_t>(length));
    return codec->Decode(buffer.data(), length, archive.blockSize + kChunkSlack);
  }

  bool Chunks(ScannedEntry& entry, int index) {
    int64_t remaining = entry.size;
    for (int chunkIndex = 0;; chunkIndex++) {
      int64_t at = cursor.position;
      const uint8_t* lengthBytes = Read(4, "chunk length", index, chunkIndex);
      if (lengthBytes == nullptr) return false;
      int32_t length = GetInt32(lengthBytes);
      if (length > archive.blockSize + kChunkSlack) {
        return Fail("chunk length " + std::to_string(length) + " is above block size + 16", at, index, chunkIndex);
      }
      if (length <= 0) {
        if (decode && remaining != 0) {
          return Fail("the chunks end " + std::to_string(remaining) + " bytes before the entry's size", at, index,
                      chunkIndex);
        }
        return true;
      }
      const uint8_t* data = Read(length, "chunk data", index, chunkIndex);
      if (data == nullptr) return false;
      ScannedChunk chunk{at, length, 0};
      if (decode) {
        int32_t decoded = DecodeChunk(data, length);
        if (decoded <= 0) {
          return Fail("the chunk does not decode (codec result " + std::to_string(decoded) + ")", at, index,
                      chunkIndex);
        }
        remaining -= decoded;
        if (remaining < 0) {
          return Fail("the chunk decodes " + std::to_string(-remaining) + " bytes past the entry's size", at, index,
                      chunkIndex);
        }
        chunk.decodedLength = decoded;
      }
      entry.packedBytes += length;
      entry.chunks.push_back(chunk);
    }
  }

  // The extractor adds the sizes up in a signed 32-bit total and fails an
  // archive whose total is not above 0.
  bool Totals(int64_t endOfList) {
    int64_t total = 0;
    for (const ScannedEntry& entry : archive.entries) total += entry.size;
    if (total == 0) return Fail("the entries hold no bytes at all; the installer refuses such an archive", endOfList);
    if (total > INT32_MAX) return Fail("the entries add up to 2 GiB or more; the installer refuses them", endOfList);
    return true;
  }

  bool Entries() {
    for (;;) {
      int64_t at = cursor.position;
      int index = static_cast<int>(archive.entries.size());
      const uint8_t* lengthByte = Read(1, "name length (or end-of-list marker)", index);
      if (lengthByte == nullptr) return false;
      if (*lengthByte == 0) {
        archive.trailingBytes = archive.fileLength - cursor.position;
        return Totals(at);
      }
      int n = *lengthByte;
      const uint8_t* head = Read(n + 4 + 28, "entry name, size and info record", index);
      if (head == nullptr) return false;
      ScannedEntry entry;
      entry.offset = at;
      entry.name.assign(reinterpret_cast<const char*>(head), static_cast<size_t>(n));
      const uint8_t* fields = head + n;
      entry.size = GetInt32(fields);
      entry.attributes = static_cast<uint32_t>(GetInt32(fields + 4));
      entry.creationTime = GetInt64(fields + 8);
      entry.lastAccessTime = GetInt64(fields + 16);
      entry.lastWriteTime = GetInt64(fields + 24);
      entry.refusal = EntryNameRefusal(entry.name, archive.entries);
      archive.entries.push_back(entry);
      ScannedEntry& stored = archive.entries.back();
      if (stored.size < 0) return Fail("negative unpacked size", at + 1 + n, index);
      if (!Chunks(stored, index)) return false;
    }
  }
};

}  // namespace

std::string EntryNameRefusal(const std::string& name, const std::vector<ScannedEntry>& before) {
  if (!IsSafeEntryName(name.data(), static_cast<int>(name.size()))) {
    return "the extractor refuses this name (it would leave the folder, reach a device, or is not valid code page 932)";
  }
  if (char c = ForbiddenNameCharacter(name, false)) {
    return std::string("Windows file names cannot hold \"") + c + "\"";
  }
  std::string key = WindowsNameKey(name);
  for (const ScannedEntry& entry : before) {
    if (WindowsNameKey(entry.name) == key) return "an earlier entry has the same name; this one could not be created";
  }
  return std::string();
}

bool ScanArchive(std::span<const uint8_t> bytes, bool decode, ScannedArchive& archive) {
  archive = ScannedArchive();
  archive.fileLength = static_cast<int64_t>(bytes.size());
  Scan scan{archive, Cursor{bytes, 0, archive.fileLength, true}, decode, nullptr, {}};
  if (scan.Header()) scan.Entries();
  return archive.ok;
}
