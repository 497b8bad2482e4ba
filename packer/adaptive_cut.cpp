#include "packer/adaptive_cut.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>

#include "archive/block_format.h"
#include "archive/huffman_header.h"
#include "packer/byte_lanes.h"
#include "packer/level_table.h"
#include "packer/run_tokens.h"

using namespace block_format;

namespace {

// Finer granules find the changes in the data more exactly; below about
// 2 KiB the gain stops paying for the time.
constexpr int32_t kGranuleTarget = 2048;
constexpr int kMostGranulesPerPiece = 128;

// A file is cut adaptively only where that is estimated to save at least
// 1/kLeastGainShare of the fixed cut's bits: the estimate is within about
// 0.1 % of the encoder over a file, but close calls can go either way.
constexpr int64_t kLeastGainShare = 200;

// Bits are counted in units of 2^-16 bit.
constexpr int kFractionBits = 16;
constexpr int64_t kOneBit = int64_t{1} << kFractionBits;

// log2(x) for x below kLogTableSize, in units of 2^-16, computed bit by bit
// by squaring the mantissa: integers only, so that every build agrees.
constexpr int kLogTableBits = 12;
constexpr uint32_t kLogTableSize = 1u << kLogTableBits;

constexpr uint32_t FixedLog2(uint32_t x) {
  const int whole = std::bit_width(x) - 1;
  // The mantissa x / 2^whole in [1, 2), with 30 fraction bits.
  uint64_t mantissa = (uint64_t{x} << 30) >> whole;
  uint32_t fraction = 0;
  for (int bit = kFractionBits - 1; bit >= 0; --bit) {
    mantissa = (mantissa * mantissa) >> 30;
    if (mantissa >= (uint64_t{2} << 30)) {
      mantissa >>= 1;
      fraction |= 1u << bit;
    }
  }
  return static_cast<uint32_t>(whole) << kFractionBits | fraction;
}

constexpr std::array<uint32_t, kLogTableSize> MakeLog2Table() {
  std::array<uint32_t, kLogTableSize> table{};
  for (uint32_t x = 1; x < kLogTableSize; ++x) table[x] = FixedLog2(x);
  return table;
}

constexpr std::array<uint32_t, kLogTableSize> kLog2 = MakeLog2Table();

// log2(x) for any x >= 1: larger values lose the bits below the table's
// precision, which costs under 0.001 bits per symbol.
int64_t Log2(uint32_t x) {
  if (x < kLogTableSize) return kLog2[x];
  const int shift = std::bit_width(x) - kLogTableBits;
  return kLog2[x >> shift] + (int64_t{shift} << kFractionBits);
}

// The symbol counts of a run stream modelled on one stretch of the file:
// the 256 byte values and, as symbol 256, the escape byte (which in a real
// block is a byte value of its own, chosen rare). A stretch without runs
// gives the counts of its stored form.
constexpr int kRunSymbols = 257;
constexpr int kEscapeSymbol = 256;

struct Counts {
  std::array<uint32_t, kRunSymbols> symbols{};
  uint32_t total = 0;

  void Add(const Counts& other) {
    for (int s = 0; s < kRunSymbols; ++s) symbols[s] += other.symbols[s];
    total += other.total;
  }
};

// The run stream of a granule, greedily: at each position the run of one
// to eight byte patterns that saves the most bytes over literals, if it
// saves two or more. The encoder's own parse codes smaller still, but
// follows the same stretches.
void CountRunStream(std::span<const uint8_t> data, Counts& counts) {
  const size_t n = data.size();
  auto count = [&](int symbol) {
    ++counts.symbols[symbol];
    ++counts.total;
  };
  for (size_t i = 0; i < n;) {
    int bestLength = 0;
    size_t bestRepeats = 0;
    int64_t bestSaving = 1;
    // A run of two patterns of length p needs data[i] == data[i + p].
    for (LaneFlags lanes = EqualAhead(&data[i], n - 1 - i); lanes != 0; lanes &= lanes - 1) {
      const int length = LowestLane(lanes);
      // A run of a shorter pattern that this one repeats saves more.
      if (bestLength > 0 && length % bestLength == 0 && bestRepeats * bestLength >= 2 * static_cast<size_t>(length)) continue;
      size_t match = 1;
      while (i + length + match < n && data[i + match] == data[i + length + match]) ++match;
      if (match < static_cast<size_t>(length)) continue;
      const size_t repeats = (match + length) / length;
      const int64_t head = repeats > kMaxShortRepeats ? 3 : 2;
      const int64_t saving = static_cast<int64_t>(repeats * length) - head - length;
      if (saving > bestSaving) {
        bestSaving = saving;
        bestLength = length;
        bestRepeats = repeats;
      }
    }
    if (bestLength == 0) {
      count(data[i]);
      ++i;
      continue;
    }
    for (size_t left = bestRepeats; left > 0;) {
      const int repeats = static_cast<int>(std::min<size_t>(left, MaxRepeats(bestLength)));
      count(kEscapeSymbol);
      if (repeats <= kMaxShortRepeats) {
        count(ShortRunToken(bestLength, repeats));
      } else {
        const int rest = repeats - kMaxShortRepeats;
        count(LongRunToken(bestLength, rest % kLongRunStep));
        count(rest / kLongRunStep);
      }
      for (int k = 0; k < bestLength; ++k) count(data[i + k]);
      left -= static_cast<size_t>(repeats);
    }
    i += bestRepeats * static_cast<size_t>(bestLength);
  }
}

// Estimated bits of a coded block with these counts: the order-0 entropy
// and a code table with a level for each distinct code length (each near
// log2(total / count)) and one for uncoded byte values, or the identity
// table; then the form and escape bytes and the chunk's two length fields.
int64_t PieceBits(const Counts& counts) {
  const int64_t logTotal = Log2(counts.total);
  int64_t bits = 0;
  uint32_t lengths = 0;  // bit l: some code of about l bits
  int coded = 0;
  for (const uint32_t count : counts.symbols) {
    if (count == 0) continue;
    ++coded;
    const int64_t cost = logTotal - Log2(count);
    bits += static_cast<int64_t>(count) * cost;
    lengths |= 1u << std::clamp<int64_t>((cost + kOneBit / 2) >> kFractionBits, 1, kMaxCodeLength);
  }
  const int levels = std::popcount(lengths) + (coded < 256 ? 1 : 0);
  const int64_t tableBits = static_cast<int64_t>(huffman::HeaderBits(levels));
  // Where the data is close to random, the identity table (every byte its
  // own 8 bits, no level indices) is cheaper; a small sample's entropy is
  // below 8 bits even then, which would make cutting random data look
  // worthwhile. A single level of codes is that table, whatever the
  // entropy says.
  const int64_t identityBits =
      (8 * static_cast<int64_t>(counts.total) + static_cast<int64_t>(huffman::HeaderBits(1))) * kOneBit;
  const int64_t huffmanBits = levels <= 1 ? identityBits : bits + tableBits * kOneBit;
  return std::min(huffmanBits, identityBits) + (16 + 64) * kOneBit;
}

// Which piece lengths (in granules) the cut considers: every one up to 8,
// then ever fewer; a longer piece gains or loses little by one granule.
bool ConsideredLength(int granules) {
  for (int step = 1, upTo = 8; ; step *= 2, upTo *= 2) {
    if (granules <= upTo || step >= 16) return granules % step == 0;
  }
}

// The number of granules per block: near blockSize / kGranuleTarget, and
// where possible one that divides the block size, so that a piece of
// exactly the block size can be chosen.
int GranulesPerBlock(int32_t blockSize) {
  const int target = std::clamp((blockSize + kGranuleTarget / 2) / kGranuleTarget, 1, kMostGranulesPerPiece);
  for (int apart = 0; apart <= target / 4; ++apart) {
    if (blockSize % (target - apart) == 0) return target - apart;
    if (target + apart <= kMostGranulesPerPiece && blockSize % (target + apart) == 0) return target + apart;
  }
  return target;
}

}  // namespace

struct AdaptiveCut::State {
  int32_t blockSize = 0;
  int32_t granuleBytes = 0;
  std::vector<uint8_t> granule;  // bytes of the granule being filled
  int64_t bytesAdded = 0;
  // The counts of the latest granules (as many as make a block), granule j
  // at j % recent.size().
  std::vector<Counts> recent;
  // best[j]: fewest estimated bits for the first j granules; from[j]: where
  // the last piece of that cut begins.
  std::vector<int64_t> best{0};
  std::vector<int32_t> from{0};
  // The fixed cut's estimate (exact where the granules divide the block
  // size): its finished pieces, and the granules since its last boundary.
  int64_t fixedBits = 0;
  Counts sinceFixed;

  // Forgets the file, keeping the granule size.
  void Reset() {
    granule.clear();
    bytesAdded = 0;
    best.assign(1, 0);
    from.assign(1, 0);
    fixedBits = 0;
    sinceFixed = Counts();
  }

  // The estimate of the fixed cut's last piece has to wait for the end.
  int64_t FixedCutBits() const { return fixedBits + (sinceFixed.total > 0 ? PieceBits(sinceFixed) : 0); }

  void CloseGranule() {
    const size_t j = best.size() - 1;  // the granule being closed
    Counts& counts = recent[j % recent.size()];
    counts = Counts();
    CountRunStream(granule, counts);
    granule.clear();
    sinceFixed.Add(counts);
    if ((j + 1) % recent.size() == 0) {
      fixedBits += PieceBits(sinceFixed);
      sinceFixed = Counts();
    }

    // The piece ending with this granule, from each start considered; the
    // longest wins a tie.
    Counts piece;
    int64_t bestBits = std::numeric_limits<int64_t>::max();
    int32_t bestFrom = 0;
    const size_t earliest = j + 1 >= recent.size() ? j + 1 - recent.size() : 0;
    for (size_t start = j + 1; start-- > earliest;) {
      piece.Add(recent[start % recent.size()]);
      if (start != earliest && !ConsideredLength(static_cast<int>(j + 1 - start))) continue;
      const int64_t bits = best[start] + PieceBits(piece);
      if (bits <= bestBits) {
        bestBits = bits;
        bestFrom = static_cast<int32_t>(start);
      }
    }
    best.push_back(bestBits);
    from.push_back(bestFrom);
  }
};

AdaptiveCut::AdaptiveCut(int32_t blockSize) : state_(std::make_unique<State>()) {
  const int granules = GranulesPerBlock(blockSize);
  state_->blockSize = blockSize;
  state_->granuleBytes = blockSize / granules;
  state_->recent.resize(static_cast<size_t>(granules));
  state_->granule.reserve(static_cast<size_t>(state_->granuleBytes));
}

AdaptiveCut::~AdaptiveCut() = default;

int32_t AdaptiveCut::GranuleBytes() const { return state_->granuleBytes; }

void AdaptiveCut::Add(std::span<const uint8_t> bytes) {
  State& s = *state_;
  s.bytesAdded += static_cast<int64_t>(bytes.size());
  while (!bytes.empty()) {
    const size_t take = std::min(bytes.size(), static_cast<size_t>(s.granuleBytes) - s.granule.size());
    s.granule.insert(s.granule.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
    bytes = bytes.subspan(take);
    if (s.granule.size() == static_cast<size_t>(s.granuleBytes)) s.CloseGranule();
  }
}

std::vector<int32_t> AdaptiveCut::Finish() {
  State& s = *state_;
  if (!s.granule.empty()) s.CloseGranule();
  // Where the estimate sees little to gain, its own error could make the
  // cut a loss: the fixed cut stays.
  const int64_t fixedBits = s.FixedCutBits();
  if (s.best.back() > fixedBits - fixedBits / kLeastGainShare) {
    const int64_t size = s.bytesAdded;
    s.Reset();
    return FixedCut(size, s.blockSize);
  }
  // Granule boundaries from the end; every granule is whole but the last.
  std::vector<int32_t> pieces;
  int64_t end = s.bytesAdded;
  for (size_t j = s.best.size() - 1; j > 0; j = static_cast<size_t>(s.from[j])) {
    const int64_t start = static_cast<int64_t>(s.from[j]) * s.granuleBytes;
    pieces.push_back(static_cast<int32_t>(end - start));
    end = start;
  }
  std::reverse(pieces.begin(), pieces.end());
  s.Reset();
  return pieces;
}

std::vector<int32_t> FixedCut(int64_t size, int32_t blockSize) {
  std::vector<int32_t> pieces;
  for (int64_t at = 0; at < size; at += blockSize) pieces.push_back(static_cast<int32_t>(std::min<int64_t>(blockSize, size - at)));
  return pieces;
}
