#include "bench/codec_corpus.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/little_endian.h"
#include "bench/block_round_trip.h"
#include "bench/machine_corpus.h"
#include "packer/block_encoder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Files spread evenly over the list (every stride-th, then the ones after
// them), at most two blocks' worth of each, concatenated and cut into whole
// blocks. Returns the blocks and counts the files used.
std::vector<Bytes> CutBlocks(const std::vector<fs::path>& files, size_t blockCount, size_t& filesUsed) {
  std::vector<Bytes> blocks;
  filesUsed = 0;
  Bytes pending;
  const size_t stride = std::max<size_t>(1, files.size() / (blockCount * 4));
  for (size_t offset = 0; offset < stride && blocks.size() < blockCount; ++offset) {
    for (size_t i = offset; i < files.size() && blocks.size() < blockCount; i += stride) {
      Bytes file = ReadWhole(files[i]);
      if (file.empty()) continue;
      file.resize(std::min(file.size(), 2 * kCorpusBlockBytes));
      ++filesUsed;
      pending.insert(pending.end(), file.begin(), file.end());
      while (pending.size() >= kCorpusBlockBytes && blocks.size() < blockCount) {
        blocks.emplace_back(pending.begin(), pending.begin() + kCorpusBlockBytes);
        pending.erase(pending.begin(), pending.begin() + kCorpusBlockBytes);
      }
    }
  }
  return blocks;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "codec bench: %s\n", what);
  std::exit(1);
}

// Little-endian 32-bit counts and lengths in the corpus file.
void PutCount(std::FILE* file, size_t count) {
  uint8_t bytes[4];
  StoreUint32(bytes, static_cast<uint32_t>(count));
  std::fwrite(bytes, 1, 4, file);
}
bool GetCount(std::FILE* file, size_t& count) {
  uint8_t bytes[4];
  if (std::fread(bytes, 1, 4, file) != 4) return false;
  count = LoadUint32(bytes);
  return true;
}
bool GetBytes(std::FILE* file, size_t count, Bytes& bytes) {
  bytes.resize(count);
  return std::fread(bytes.data(), 1, count, file) == count;
}

}  // namespace

std::vector<CorpusSet> CutCorpus() {
  const std::vector<std::string> peFolders = {"/usr/lib/wine/i386-windows", "/usr/lib/i386-linux-gnu/wine/i386-windows"};
  const std::vector<std::string> textFolders = {"/usr/share/common-licenses", "/usr/include", "/usr/share/doc"};
  const std::vector<std::string> imageFolders = {"/usr/share"};
  struct Source {
    const char* name;
    std::vector<fs::path> files;
    size_t blocks;
  };
  const Source sources[] = {
      {"pe_dll", FindFiles(peFolders, {".dll"}, false), 8},
      {"text", FindFiles(textFolders, {".h", "copyright", "GPL-3", "GPL-2", "LGPL-2.1", "Apache-2.0", "GFDL-1.3", "Artistic", "MPL-2.0", ".txt", ".md"}, true), 3},
      {"image", FindFiles(imageFolders, {".png", ".jpg", ".jpeg", ".gif"}, true), 2},
  };
  std::vector<CorpusSet> sets;
  for (const Source& source : sources) {
    CorpusSet set{source.name, 0, {}};
    for (Bytes& data : CutBlocks(source.files, source.blocks, set.files)) set.blocks.push_back({std::move(data), {}, {}});
    if (!set.blocks.empty()) sets.push_back(std::move(set));
  }
  return sets;
}

// Layout: set count; per set its name length and name, file count, block
// count, and each block's length and data.
bool WriteCorpus(const std::string& path, const std::vector<CorpusSet>& sets) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "codec bench: cannot write %s\n", path.c_str());
    return false;
  }
  PutCount(file, sets.size());
  for (const CorpusSet& set : sets) {
    PutCount(file, set.name.size());
    std::fwrite(set.name.data(), 1, set.name.size(), file);
    PutCount(file, set.files);
    PutCount(file, set.blocks.size());
    for (const CodecBlock& block : set.blocks) {
      PutCount(file, block.data.size());
      std::fwrite(block.data.data(), 1, block.data.size(), file);
    }
  }
  const bool ok = std::ferror(file) == 0;
  if (std::fclose(file) != 0 || !ok) {
    std::fprintf(stderr, "codec bench: cannot write %s\n", path.c_str());
    return false;
  }
  return true;
}

bool ReadCorpus(const std::string& path, std::vector<CorpusSet>& sets) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "codec bench: cannot read %s (the native codec benchmark writes it)\n", path.c_str());
    return false;
  }
  sets.clear();
  size_t setCount = 0;
  bool ok = GetCount(file, setCount) && setCount <= 16;
  for (size_t s = 0; ok && s < setCount; ++s) {
    CorpusSet set;
    size_t nameLength = 0, blockCount = 0;
    Bytes name;
    ok = GetCount(file, nameLength) && nameLength <= 64 && GetBytes(file, nameLength, name) &&
         GetCount(file, set.files) && GetCount(file, blockCount) && blockCount <= 64;
    set.name.assign(name.begin(), name.end());
    for (size_t b = 0; ok && b < blockCount; ++b) {
      CodecBlock block;
      size_t length = 0;
      ok = GetCount(file, length) && length <= kCorpusBlockBytes && GetBytes(file, length, block.data);
      set.blocks.push_back(std::move(block));
    }
    sets.push_back(std::move(set));
  }
  std::fclose(file);
  if (!ok) std::fprintf(stderr, "codec bench: %s is cut short or damaged\n", path.c_str());
  return ok;
}

void CodeCorpus(std::vector<CorpusSet>& sets) {
  for (CorpusSet& set : sets) {
    for (CodecBlock& block : set.blocks) {
      if (!EncodeBlock(block.data, block.coded)) Fail("EncodeBlock refused a block");
      uLongf deflatedSize = compressBound(static_cast<uLong>(block.data.size()));
      block.deflated.resize(deflatedSize);
      if (compress2(block.deflated.data(), &deflatedSize, block.data.data(), static_cast<uLong>(block.data.size()), 9) !=
          Z_OK) {
        Fail("zlib's compress2 failed");
      }
      block.deflated.resize(deflatedSize);
    }
  }
}

int InflateInto(z_stream& stream, Bytes& output, const Bytes& deflated) {
  inflateReset(&stream);
  stream.next_in = const_cast<Bytef*>(deflated.data());
  stream.avail_in = static_cast<uInt>(deflated.size());
  stream.next_out = output.data();
  stream.avail_out = static_cast<uInt>(output.size());
  return inflate(&stream, Z_FINISH);
}

bool CorpusDecodesBack(const std::vector<CorpusSet>& sets, const char* program) {
  BlockCodec codec;  // one for all blocks, as the benchmarks keep one
  Bytes buffer(kCorpusBufferBytes);
  z_stream stream{};
  inflateInit(&stream);
  Bytes output(kCorpusBlockBytes);
  bool exact = true;
  for (const CorpusSet& set : sets) {
    for (size_t i = 0; i < set.blocks.size() && exact; ++i) {
      const CodecBlock& block = set.blocks[i];
      const char* wrong = nullptr;
      if (!DecodesBack(codec, buffer, block.coded, block.data, kCorpusCapacity)) {
        wrong = "BlockCodec::Decode";
      } else if (InflateInto(stream, output, block.deflated) != Z_STREAM_END || stream.total_out != block.data.size() ||
                 !std::equal(block.data.begin(), block.data.end(), output.begin())) {
        wrong = "zlib's inflate";
      }
      if (wrong != nullptr) {
        std::fprintf(stderr, "%s: set %s, block %zu of %zu: %s gave other bytes than the block's data\n", program,
                     set.name.c_str(), i + 1, set.blocks.size(), wrong);
        exact = false;
      }
    }
  }
  inflateEnd(&stream);
  return exact;
}
