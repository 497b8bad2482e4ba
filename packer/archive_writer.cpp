#include "packer/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>

#include "packer/block_encoder.h"
#include "packer/name_rules.h"

namespace {

constexpr char kMagic[] = {'F', 'I', 'L', 'E', '_', 'P', 'A', 'C', 'K', 'E', 'R', ' ', '1', '.', '0', '0'};
constexpr char kPlainTag[] = {'/', '*', '*', '*'};
constexpr char kSignature[] = {'Q', 'V', 'L', '-', '2', '0', '0', '0'};
constexpr int64_t kSizeFieldOffset = 20;
// Bytes before the size field's range begins.
constexpr int64_t kHeaderLead = 24;
// The extractor holds the container's length and the sum of the unpacked
// sizes in signed 32-bit integers.
constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();
// A coded block may be this much longer than the piece it carries.
constexpr size_t kChunkSlack = 16;
constexpr size_t kMaxNameLength = 255;

void PutInt32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

void PutInt64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; i++) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// The archive being written: the output file and how many bytes it holds.
struct ArchiveOutput {
  std::FILE* file;
  const std::string& target;
  int64_t length = 0;
  std::string& error;

  bool Write(const void* bytes, size_t count) {
    if (length + static_cast<int64_t>(count) > kLimit) {
      error = target + ": the archive would reach 2 GiB, more than the format can hold";
      return false;
    }
    if (count > 0 && std::fwrite(bytes, 1, count, file) != count) {
      error = target + ": write error";
      return false;
    }
    length += static_cast<int64_t>(count);
    return true;
  }
};

bool WriteHeader(ArchiveOutput& out, int32_t blockSize) {
  uint8_t header[36];
  std::memcpy(header, kMagic, 16);
  std::memcpy(header + 16, kPlainTag, 4);
  PutInt32(header + 20, 0);  // the size, filled in at the end
  std::memcpy(header + 24, kSignature, 8);
  PutInt32(header + 32, static_cast<uint32_t>(blockSize));
  return out.Write(header, sizeof(header));
}

// Name length, name, unpacked size and info record of one entry.
bool WriteEntryHead(ArchiveOutput& out, const PackSource& source) {
  uint8_t head[1 + kMaxNameLength + 32];
  size_t n = source.storedName.size();
  head[0] = static_cast<uint8_t>(n);
  std::memcpy(head + 1, source.storedName.data(), n);
  uint8_t* at = head + 1 + n;
  PutInt32(at, static_cast<uint32_t>(source.size));
  PutInt32(at + 4, source.attributes);
  PutInt64(at + 8, source.creationTime);
  PutInt64(at + 16, source.lastAccessTime);
  PutInt64(at + 24, source.lastWriteTime);
  return out.Write(head, 1 + n + 32);
}

bool WriteChunkLength(ArchiveOutput& out, uint32_t length) {
  uint8_t bytes[4];
  PutInt32(bytes, length);
  return out.Write(bytes, 4);
}

struct PackState {
  const PackOptions& options;
  std::vector<uint8_t> piece;
  std::vector<uint8_t> block;
  int32_t filesDone = 0;
  int64_t bytesDone = 0;
};

// One entry: its head, a chunk per piece of block size, the terminating
// length. The file must still have the size that was recorded for it.
bool WriteEntry(ArchiveOutput& out, const PackSource& source, PackState& state, std::string& error) {
  if (!WriteEntryHead(out, source)) return false;
  std::FILE* in = std::fopen(source.path.c_str(), "rb");
  if (in == nullptr) {
    error = source.path + ": cannot be opened";
    return false;
  }
  bool ok = true;
  int64_t remaining = source.size;
  int32_t chunkIndex = 0;
  while (ok && remaining > 0) {
    size_t count = static_cast<size_t>(std::min<int64_t>(remaining, state.options.blockSize));
    if (std::fread(state.piece.data(), 1, count, in) != count) {
      error = source.path + ": read error, or the file shrank while it was packed";
      ok = false;
      break;
    }
    if (!EncodeBlock(std::span<const uint8_t>(state.piece.data(), count), state.block) ||
        state.block.empty() || state.block.size() > count + kChunkSlack) {
      error = source.path + ": the block encoder failed on chunk " + std::to_string(chunkIndex);
      ok = false;
      break;
    }
    ok = WriteChunkLength(out, static_cast<uint32_t>(state.block.size())) &&
         out.Write(state.block.data(), state.block.size());
    remaining -= static_cast<int64_t>(count);
    state.bytesDone += static_cast<int64_t>(count);
    chunkIndex++;
    if (ok && state.options.progress != nullptr) {
      state.options.progress(state.options.progressContext, state.filesDone, state.bytesDone);
    }
  }
  if (ok && std::fgetc(in) != EOF) {
    error = source.path + ": the file grew while it was packed";
    ok = false;
  }
  std::fclose(in);
  if (!ok || !WriteChunkLength(out, 0)) return false;
  state.filesDone++;
  if (state.options.progress != nullptr) {
    state.options.progress(state.options.progressContext, state.filesDone, state.bytesDone);
  }
  return true;
}

bool WriteAll(ArchiveOutput& out, const std::vector<PackSource>& sources, PackState& state,
              std::string& error) {
  if (!WriteHeader(out, state.options.blockSize)) return false;
  for (const PackSource& source : sources) {
    if (!WriteEntry(out, source, state, error)) return false;
  }
  const uint8_t endOfList = 0;
  if (!out.Write(&endOfList, 1)) return false;
  uint8_t size[4];
  PutInt32(size, static_cast<uint32_t>(out.length - kHeaderLead));
  if (std::fseek(out.file, kSizeFieldOffset, SEEK_SET) != 0 || std::fwrite(size, 1, 4, out.file) != 4 ||
      std::fflush(out.file) != 0) {
    error = out.target + ": write error";
    return false;
  }
  return true;
}

}  // namespace

bool CheckPackSources(const std::vector<PackSource>& sources, int32_t blockSize, std::string& error) {
  if (blockSize < kMinBlockSize || blockSize > kMaxBlockSize) {
    error = "block size " + std::to_string(blockSize) + " is outside 1024..4000000";
    return false;
  }
  if (sources.empty()) {
    error = "no files to pack";
    return false;
  }
  int64_t total = 0;
  std::vector<std::string> folded;
  for (const PackSource& source : sources) {
    const std::string& name = source.storedName;
    const std::string refusal = InstallNameRefusal(name);
    if (!refusal.empty()) {
      error = source.path + ": " + refusal;
      return false;
    }
    std::string key = WindowsNameKey(name);
    for (size_t i = 0; i < folded.size(); i++) {
      if (folded[i] == key) {
        error = source.path + ": Windows takes it for the same file as " + sources[i].path;
        return false;
      }
    }
    folded.push_back(key);
    if (source.size < 0 || source.size > kLimit - total) {
      error = source.path + ": the files add up to 2 GiB or more, more than the format can hold";
      return false;
    }
    total += source.size;
  }
  if (total == 0) {
    error = "the files hold no bytes at all; the installer refuses such an archive";
    return false;
  }
  return true;
}

bool WriteArchive(const std::string& target, const std::vector<PackSource>& sources,
                  const PackOptions& options, PackSummary& summary, std::string& error) {
  summary = PackSummary();
  if (!CheckPackSources(sources, options.blockSize, error)) return false;
  if (!options.overwrite && PathExists(target)) {
    error = target + ": already exists";
    return false;
  }
  std::string tempPath;
  std::FILE* file = nullptr;
  if (!CreateTempBeside(target, tempPath, file, error)) return false;
  PackState state{options, std::vector<uint8_t>(options.blockSize), {}};
  ArchiveOutput out{file, target, 0, error};
  bool ok = WriteAll(out, sources, state, error);
  if (std::fclose(file) != 0 && ok) {
    error = target + ": write error";
    ok = false;
  }
  ok = ok && CommitTemp(tempPath, target, options.overwrite, error);
  if (!ok) {
    RemoveFile(tempPath);
    return false;
  }
  summary.fileCount = static_cast<int32_t>(sources.size());
  summary.bytesIn = state.bytesDone;
  summary.bytesOut = out.length;
  return true;
}
