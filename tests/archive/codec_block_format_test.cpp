// The run form's token grammar (archive/block_format.h) read back as it is
// written: every run that the encoder may spell, of every pattern length
// and count, gives a token that the decoder's reading turns back into the
// same run, and none of them is the escaped escape byte.
#include <gtest/gtest.h>

#include "archive/block_format.h"

namespace codec_test {
namespace {

using namespace block_format;

TEST(BlockFormat, EveryShortRunReadsBackAsWritten) {
  for (int length = 1; length <= kMaxPatternLength; ++length) {
    for (int repeats = 1; repeats <= kMaxShortRepeats; ++repeats) {
      const int token = ShortRunToken(length, repeats);
      ASSERT_LT(token, kFirstLongRun) << length << " x " << repeats;
      EXPECT_EQ(RunPatternLength(static_cast<uint8_t>(token)), length);
      EXPECT_EQ(ShortRunRepeats(static_cast<uint8_t>(token)), repeats);
    }
  }
}

TEST(BlockFormat, EveryLongRunUpToTheLimitReadsBackAndIsNoEscapedEscape) {
  for (int length = 1; length <= kMaxPatternLength; ++length) {
    for (int repeats = kMaxShortRepeats; repeats <= MaxRepeats(length); ++repeats) {
      // 16 + 15 x + nibble; the top count only as nibble 15 with x 255.
      const int rest = repeats - kMaxShortRepeats;
      int count = rest / kLongRunStep, nibble = rest % kLongRunStep;
      if (count > 255) {
        count -= 1;
        nibble += kLongRunStep;
      }
      ASSERT_LE(count, 255) << length << " x " << repeats;
      const int token = LongRunToken(length, nibble);
      ASSERT_GE(token, kFirstLongRun);
      ASSERT_LE(token, 0xFF);
      ASSERT_NE(token, kEscapedEscape) << length << " x " << repeats;
      EXPECT_EQ(RunPatternLength(static_cast<uint8_t>(token)), length);
      EXPECT_EQ(LongRunRepeats(static_cast<uint8_t>(token), static_cast<uint8_t>(count)), repeats);
    }
  }
}

TEST(BlockFormat, OnlyTheEightBytePatternsLoseTheirLastCount) {
  // One more repeat takes the count byte 255 and the nibble 15: the token
  // of 8-byte patterns is then the escaped escape byte.
  for (int length = 1; length <= kMaxPatternLength; ++length) {
    const bool lastCountSpellable = LongRunToken(length, kLongRunStep) != kEscapedEscape;
    EXPECT_EQ(MaxRepeats(length), lastCountSpellable ? kMaxLongRepeats : kMaxLongRepeats - 1) << length;
    EXPECT_EQ(LongRunRepeats(static_cast<uint8_t>(LongRunToken(length, kLongRunStep)), 255), kMaxLongRepeats);
  }
}

}  // namespace
}  // namespace codec_test
