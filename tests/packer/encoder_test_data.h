// Deterministic sample blocks for the encoder tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes RandomBytes(size_t size, uint32_t seed, int alphabet = 256) {
  std::mt19937 rng(seed);
  Bytes bytes(size);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(rng() % static_cast<uint32_t>(alphabet));
  return bytes;
}

// Words drawn with a skewed frequency, so the text has the byte statistics
// of prose (spaces, lower-case letters, a few capitals and punctuation).
inline Bytes EnglishText(size_t size, uint32_t seed) {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with",
      "be", "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which",
      "but", "have", "an", "had", "they", "you", "were", "their", "one", "all", "we",
      "can", "her", "has", "there", "been", "if", "more", "when", "will", "would", "who",
      "so", "no", "program", "software", "license", "copyright", "distribute", "source",
      "modify", "Windows", "player", "sound", "archive", "folder", "install"};
  constexpr size_t kWordCount = sizeof(kWords) / sizeof(kWords[0]);
  std::mt19937 rng(seed);
  std::string text;
  while (text.size() < size) {
    const size_t pick = std::min(rng() % kWordCount, rng() % kWordCount);
    text += kWords[pick];
    const uint32_t mark = rng() % 20;
    text += mark == 0 ? ". " : mark == 1 ? ", " : mark == 2 ? "\r\n" : " ";
  }
  text.resize(size);
  return Bytes(text.begin(), text.end());
}

// Executable-like content: stretches of zero padding, repeated structures,
// small integers and random code bytes.
inline Bytes MixedBytes(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes bytes;
  bytes.reserve(size);
  while (bytes.size() < size) {
    switch (rng() % 5) {
      case 0:
        bytes.insert(bytes.end(), rng() % 5000, 0);
        break;
      case 1: {
        const Bytes record = RandomBytes(1 + rng() % 8, rng());
        for (uint32_t n = 1 + rng() % 300; n > 0; --n) bytes.insert(bytes.end(), record.begin(), record.end());
        break;
      }
      case 2: {
        const Bytes text = EnglishText(rng() % 3000, rng());
        bytes.insert(bytes.end(), text.begin(), text.end());
        break;
      }
      default: {
        const Bytes noise = RandomBytes(rng() % 3000, rng(), 1 + static_cast<int>(rng() % 256));
        bytes.insert(bytes.end(), noise.begin(), noise.end());
        break;
      }
    }
  }
  bytes.resize(size);
  return bytes;
}

// `count` repeats of a pattern, between two bytes that differ from it.
inline Bytes Repeated(const Bytes& pattern, size_t count) {
  Bytes bytes;
  for (size_t i = 0; i < count; ++i) bytes.insert(bytes.end(), pattern.begin(), pattern.end());
  return bytes;
}
