// Writes a packed archive ("FILE_PACKER 1.00", plain) from a list of files:
// every file cut into pieces of at most one block size, each piece a coded
// block of the block encoder, encoded on several threads. Everything is
// checked before the first byte is written, and the archive appears under
// its name only once it is complete. The archive is the same for any number
// of threads, on every build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/refusal_code.h"
#include "base/byte_store.h"
#include "packer/pack_files.h"

// Told after each chunk is written, on the packing thread: files completed
// so far and input bytes read so far.
class PackProgress {
 public:
  virtual void OnChunkWritten(int32_t filesDone, int64_t bytesDone) = 0;

 protected:
  ~PackProgress() = default;
};

// The most encoding threads a pack may ask for.
constexpr int kMaxJobs = 64;

struct PackOptions {
  int32_t blockSize = archive_format::kDefaultBlockSize;
  bool overwrite = false;  // replace an existing archive
  // false: pieces of exactly the block size, the last one shorter (what
  // every reader expects). true: pieces of varying length, chosen to code
  // smallest (see packer/adaptive_cut.h); the file is read twice.
  bool adaptive = false;
  // Encoding threads, 1 to kMaxJobs; 0: one for each hardware thread.
  int jobs = 0;
  PackProgress* progress = nullptr;  // not owned; may be null
  // For an archive that goes into something with a lower limit than the
  // format's (the installer): the most bytes it may take, and what passing
  // that means, said when the writing stops there. 0: the format's limit.
  int64_t maxLength = 0;
  std::string limitText;
};

struct PackSummary {
  int32_t fileCount = 0;
  int64_t chunkCount = 0;
  int64_t bytesIn = 0;   // the files' sizes added up
  int64_t bytesOut = 0;  // the archive's length
  int threads = 0;       // how many threads encoded
};

// Checks what the installer's extractor would refuse or fail on: a block
// size outside kMinBlockSize..kMaxBlockSize, no files, files that add up to no bytes or to
// 2 GiB or more, a stored name that the installer could not create in its
// install folder (InstallNameRefusal: too long for the path behind
// C:\WINDOWS\UnpackDir999, a separator, a character Windows names cannot
// hold, or refused by the extractor), and two names that Windows takes for
// the same file. The refusal's words name the file.
bool CheckPackSources(const std::vector<PackSource>& sources, int32_t blockSize, Refusal& refusal);

// Writes the archive at `target`, through a temporary file beside it. On
// failure nothing is left behind and an existing target is untouched.
// Without options.overwrite an existing target is refused as the archive is
// moved into place, in one step with the move; a caller that would rather
// not pack in vain asks PathExists first.
bool WriteArchive(const std::string& target, const std::vector<PackSource>& sources,
                  const PackOptions& options, PackSummary& summary, std::string& error);

// The same archive written to `sink` from its offset 0 (options.overwrite
// does not apply), for a caller that wraps it in something else; `name` is
// what errors call it. On failure the sink holds a part of an archive,
// which the caller drops; the refusal's code tells a package too large for
// the caller's limit (kTooLarge) from the rest.
bool PackInto(const std::string& name, const std::vector<PackSource>& sources, const PackOptions& options,
              ByteSink& sink, PackSummary& summary, Refusal& refusal);
