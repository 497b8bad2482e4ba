#include "packer/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <span>

#include "packer/block_encoder.h"
#include "archive/entry_name.h"
#include "packer/adaptive_cut.h"
#include "packer/block_pipeline.h"
#include "packer/worker_threads.h"
#include "archive/name_rules.h"
#include "host/temp_file.h"
#include "base/installer_rules.h"
#include "host/system_error.h"

namespace {

using namespace archive_format;

// The extractor holds the container's length and the sum of the unpacked
// sizes in signed 32-bit integers.
constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();

// The archive being written, and how many bytes it holds.
struct ArchiveOutput {
  ByteSink& sink;
  const std::string& target;
  int64_t limit;            // the most it may hold
  const std::string& limitText;  // what passing it means; empty: the format's limit
  int64_t length = 0;
  bool limitReached = false;
  std::string& error;

  // Stops the moment the archive would pass its limit, not once everything
  // is encoded: a package too large is told so early, and nothing more is
  // written.
  bool Write(const void* bytes, size_t count) {
    if (length + static_cast<int64_t>(count) > limit) {
      limitReached = true;
      error = target + ": " +
              (limitText.empty() ? "the archive would reach 2 GiB, more than the format can hold" : limitText);
      return false;
    }
    if (count > 0 && !sink.WriteAt(static_cast<uint64_t>(length),
                                   std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), count))) {
      error = WriteError(target);
      return false;
    }
    length += static_cast<int64_t>(count);
    return true;
  }

  // The size field, known only at the end.
  bool WriteSize() {
    uint8_t size[4];
    StoreUint32(size, static_cast<uint32_t>(length - kSizeFieldEnd));
    if (!sink.WriteAt(kSizeFieldOffset, size)) {
      error = WriteError(target);
      return false;
    }
    return true;
  }
};

bool WriteHeader(ArchiveOutput& out, int32_t blockSize) {
  uint8_t header[kEntriesOffset];
  std::memcpy(header + kMagicOffset, kMagic, kMagicLength);
  std::memcpy(header + kTagOffset, kPlainTag, kTagLength);
  StoreUint32(header + kSizeFieldOffset, 0);  // the size, filled in at the end
  std::memcpy(header + kSignatureOffset, kSignature, kSignatureLength);
  StoreUint32(header + kBlockSizeOffset, static_cast<uint32_t>(blockSize));
  return out.Write(header, sizeof(header));
}

// Name length, name, unpacked size and info record of one entry.
void AppendEntryHead(std::vector<uint8_t>& bytes, const PackSource& source) {
  uint8_t head[1 + kMaxNameLength + 4 + kInfoLength];
  size_t n = source.storedName.size();
  head[0] = static_cast<uint8_t>(n);
  std::memcpy(head + 1, source.storedName.data(), n);
  uint8_t* at = head + 1 + n;
  StoreUint32(at, static_cast<uint32_t>(source.size));
  uint8_t* info = at + 4;
  StoreUint32(info + kInfoAttributesOffset, source.attributes);
  StoreUint64(info + kInfoCreationOffset, source.creationTime);
  StoreUint64(info + kInfoLastAccessOffset, source.lastAccessTime);
  StoreUint64(info + kInfoLastWriteOffset, source.lastWriteTime);
  bytes.insert(bytes.end(), head, info + kInfoLength);
}

// What belongs to a piece in flight: the archive bytes that go before its
// chunk (entry heads, and whole entries of empty files), and where it is
// from, for the progress and for errors.
struct PieceInFlight {
  std::vector<uint8_t> before;
  int32_t filesBefore = 0;  // entries that `before` completes
  size_t source = 0;
  size_t chunk = 0;
  bool lastOfEntry = false;
  int32_t length = 0;
};

struct PackState {
  const PackOptions& options;
  const std::vector<PackSource>& sources;
  BlockPipeline pipeline;
  std::deque<PieceInFlight> inFlight;  // in the pipeline's order
  std::vector<uint8_t> pending;        // archive bytes not yet handed to a piece
  int32_t pendingFiles = 0;            // entries that `pending` completes
  int32_t filesDone = 0;
  int64_t bytesDone = 0;
  int64_t chunks = 0;
};

void ReportProgress(const PackState& state) {
  if (state.options.progress != nullptr) state.options.progress->OnChunkWritten(state.filesDone, state.bytesDone);
}

// Writes the oldest piece in flight as a chunk, with what goes before it
// and, after an entry's last piece, the terminating length.
bool WriteOldest(ArchiveOutput& out, PackState& state, std::string& error) {
  const std::vector<uint8_t>& block = state.pipeline.TakeOldest();
  PieceInFlight piece = std::move(state.inFlight.front());
  state.inFlight.pop_front();
  if (!out.Write(piece.before.data(), piece.before.size())) return false;
  state.filesDone += piece.filesBefore;
  if (block.empty() || block.size() > static_cast<size_t>(piece.length + kChunkSlack)) {
    error = state.sources[piece.source].path + ": the block encoder failed on chunk " + std::to_string(piece.chunk);
    return false;
  }
  uint8_t length[4];
  StoreUint32(length, static_cast<uint32_t>(block.size()));
  if (!out.Write(length, 4) || !out.Write(block.data(), block.size())) return false;
  if (piece.lastOfEntry) {
    const uint8_t endOfChunks[4] = {};
    if (!out.Write(endOfChunks, 4)) return false;
    state.filesDone++;
  }
  state.bytesDone += piece.length;
  state.chunks++;
  ReportProgress(state);
  return true;
}

constexpr size_t kReadBytes = 1 << 16;

// A file's bytes as packing reads them, front to back, perhaps twice: from
// the file system, opened as described and found unchanged at the end, or
// from memory.
class SourceReader {
 public:
  explicit SourceReader(const PackSource& source) : source_(source) {}
  ~SourceReader() {
    if (file_ != nullptr) std::fclose(file_);
  }
  SourceReader(const SourceReader&) = delete;
  SourceReader& operator=(const SourceReader&) = delete;

  bool Open(std::string& error) { return source_.inMemory || OpenPackFile(source_, file_, error); }

  bool Read(uint8_t* into, size_t count, std::string& error) {
    bool read = false;
    if (!source_.inMemory) {
      read = std::fread(into, 1, count, file_) == count;
    } else if (count <= source_.bytes.size() - position_) {
      std::memcpy(into, source_.bytes.data() + position_, count);
      position_ += count;
      read = true;
    }
    if (!read) error = source_.path + ": read error, or the file shrank while it was packed";
    return read;
  }

  bool Rewind(std::string& error) {
    position_ = 0;
    if (source_.inMemory || std::fseek(file_, 0, SEEK_SET) == 0) return true;
    error = source_.path + ": cannot be read a second time";
    return false;
  }

  // A rewrite while the file was read (a change of size too) moved its
  // identity: its bytes may be half old, half new.
  bool Unchanged(std::string& error) { return source_.inMemory || PackFileUnchanged(file_, source_, error); }

 private:
  const PackSource& source_;
  std::FILE* file_ = nullptr;
  size_t position_ = 0;  // in memory
};

// The adaptive cut reads the file once through; the pieces are read in a
// second pass.
bool CutAdaptively(SourceReader& in, const PackSource& source, int32_t blockSize, std::vector<int32_t>& pieces,
                   std::string& error) {
  AdaptiveCut cut(blockSize);
  std::vector<uint8_t> buffer(kReadBytes);
  for (int64_t remaining = source.size; remaining > 0;) {
    const size_t count = static_cast<size_t>(std::min<int64_t>(remaining, kReadBytes));
    if (!in.Read(buffer.data(), count, error)) return false;
    cut.Add(std::span<const uint8_t>(buffer.data(), count));
    remaining -= static_cast<int64_t>(count);
  }
  pieces = cut.Finish();
  return in.Rewind(error);
}

// One entry: its head, a chunk per piece, the terminating length. The file
// must be the one described, unchanged from its opening to its last byte.
bool PackEntry(ArchiveOutput& out, size_t index, PackState& state, std::string& error) {
  const PackSource& source = state.sources[index];
  AppendEntryHead(state.pending, source);
  SourceReader in(source);
  if (!in.Open(error)) return false;
  std::vector<int32_t> pieces;
  bool ok = true;
  if (state.options.adaptive) {
    ok = CutAdaptively(in, source, state.options.blockSize, pieces, error);
  } else {
    pieces = FixedCut(source.size, state.options.blockSize);
  }
  for (size_t chunk = 0; ok && chunk < pieces.size(); ++chunk) {
    if (state.pipeline.Full() && !WriteOldest(out, state, error)) {
      ok = false;
      break;
    }
    std::vector<uint8_t>& piece = state.pipeline.NextPiece(static_cast<size_t>(pieces[chunk]));
    if (!in.Read(piece.data(), piece.size(), error)) {
      ok = false;
      break;
    }
    state.inFlight.push_back({std::move(state.pending), state.pendingFiles, index, chunk, chunk + 1 == pieces.size(),
                              pieces[chunk]});
    state.pending.clear();
    state.pendingFiles = 0;
    state.pipeline.Submit();
  }
  ok = ok && in.Unchanged(error);
  if (ok && pieces.empty()) {
    AppendUint32(state.pending, 0);
    state.pendingFiles++;
  }
  return ok;
}

bool WriteAll(ArchiveOutput& out, PackState& state, std::string& error) {
  if (!WriteHeader(out, state.options.blockSize)) return false;
  for (size_t index = 0; index < state.sources.size(); ++index) {
    if (!PackEntry(out, index, state, error)) return false;
  }
  while (!state.pipeline.Empty()) {
    if (!WriteOldest(out, state, error)) return false;
  }
  state.pending.push_back(0);  // the end-of-list marker
  if (!out.Write(state.pending.data(), state.pending.size())) return false;
  state.filesDone += state.pendingFiles;
  ReportProgress(state);
  return out.WriteSize();
}

bool CheckJobs(int jobs, std::string& error) {
  if (jobs >= 0 && jobs <= kMaxJobs) return true;
  error = std::to_string(jobs) + " jobs: give 1 to " + std::to_string(kMaxJobs) + ", or 0 for one per hardware thread";
  return false;
}

// Packs into out; the summary's bytesOut only on success.
bool Pack(ArchiveOutput& out, const std::vector<PackSource>& sources, const PackOptions& options,
          PackSummary& summary, std::string& error) {
  PackState state{options, sources, BlockPipeline(options.jobs == 0 ? HardwareThreads() : options.jobs,
                                                 static_cast<size_t>(options.blockSize)), {}, {}};
  const bool ok = WriteAll(out, state, error);
  if (out.limitReached) {
    int64_t total = 0;
    for (const PackSource& source : sources) total += source.size;
    error += "; stopped after " + std::to_string(state.filesDone) + " of " + std::to_string(sources.size()) +
             " files, " + std::to_string(state.bytesDone) + " of " + std::to_string(total) + " bytes packed";
  }
  summary.fileCount = static_cast<int32_t>(sources.size());
  summary.chunkCount = state.chunks;
  summary.bytesIn = state.bytesDone;
  summary.threads = state.pipeline.Threads();
  if (ok) summary.bytesOut = out.length;
  return ok;
}

}  // namespace

bool CheckPackSources(const std::vector<PackSource>& sources, int32_t blockSize, Refusal& refusal) {
  const auto refuse = [&refusal](RefusalCode code, std::string text) {
    refusal = {code, std::move(text)};
    return false;
  };
  if (blockSize < kMinBlockSize || blockSize > kMaxBlockSize) {
    return refuse(RefusalCode::kBlockSize, "block size " + std::to_string(blockSize) + " is outside " +
                                               std::to_string(kMinBlockSize) + ".." + std::to_string(kMaxBlockSize));
  }
  if (sources.empty()) return refuse(RefusalCode::kUsage, "no files to pack");
  int64_t total = 0;
  InstallFolderNames names;
  for (const PackSource& source : sources) {
    const Refusal name = InstallNameRefusal(source.storedName);
    if (name.Refused()) return refuse(name.code, source.path + ": " + name.text);
    size_t earlier = 0;
    switch (names.Add(source.storedName, earlier)) {
      case InstallFolderNames::Clash::kNone: break;
      case InstallFolderNames::Clash::kSameFile:
        return refuse(RefusalCode::kSameFile, source.path + ": " + kSameFileClash + sources[earlier].path);
      case InstallFolderNames::Clash::kShortName:
        return refuse(RefusalCode::kShortName,
                      source.path + ": " + kShortNameClash + sources[earlier].path + ", packed before it");
    }
    if (source.size < 0 || source.size > kLimit - total) {
      return refuse(RefusalCode::kTooLarge,
                    source.path + ": the files add up to 2 GiB or more, more than the format can hold");
    }
    total += source.size;
  }
  if (total == 0) {
    return refuse(RefusalCode::kNoBytes, "the files hold no bytes at all; the installer refuses such an archive");
  }
  return true;
}

// The archive's limit: the format's, or a caller's lower one.
int64_t LimitOf(const PackOptions& options) {
  return options.maxLength > 0 && options.maxLength < kLimit ? options.maxLength : kLimit;
}

// What the writers check before they write anything.
bool CheckPack(const std::vector<PackSource>& sources, const PackOptions& options, Refusal& refusal) {
  if (!CheckPackSources(sources, options.blockSize, refusal)) return false;
  if (CheckJobs(options.jobs, refusal.text)) return true;
  refusal.code = RefusalCode::kUsage;
  return false;
}

bool WriteArchive(const std::string& target, const std::vector<PackSource>& sources,
                  const PackOptions& options, PackSummary& summary, std::string& error) {
  summary = PackSummary();
  Refusal refusal;
  if (!CheckPack(sources, options, refusal)) {
    error = refusal.text;
    return false;
  }
  TempFileBeside temp;
  if (!temp.Create(target, error)) return false;
  ArchiveOutput out{temp, target, LimitOf(options), options.limitText, 0, false, error};
  if (Pack(out, sources, options, summary, error) && temp.Commit(options.overwrite, error)) return true;
  summary = PackSummary();
  return false;
}

bool PackInto(const std::string& name, const std::vector<PackSource>& sources, const PackOptions& options,
              ByteSink& sink, PackSummary& summary, Refusal& refusal) {
  summary = PackSummary();
  if (!CheckPack(sources, options, refusal)) return false;
  ArchiveOutput out{sink, name, LimitOf(options), options.limitText, 0, false, refusal.text};
  if (Pack(out, sources, options, summary, refusal.text)) return true;
  refusal.code = out.limitReached ? RefusalCode::kTooLarge : RefusalCode::kOther;
  summary = PackSummary();
  return false;
}
