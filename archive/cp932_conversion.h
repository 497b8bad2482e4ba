// The one conversion between code page 932 and UTF-8 where the system's
// names are UTF-8: the extractor's entry names and the packager's texts
// both use it, so they agree on every byte sequence. One implementation
// per system: iconv on POSIX (platform/posix/), and on WebAssembly tables
// read off the host's iconv (platform/wasm/), so that both convert alike.
// Windows converts through its own API instead (host/platform/win32/).
#pragma once

#include <cstddef>

class Cp932Conversion {
 public:
  enum Direction { kToUtf8, kFromUtf8 };
  explicit Cp932Conversion(Direction direction) noexcept;
  ~Cp932Conversion();
  Cp932Conversion(const Cp932Conversion&) = delete;
  Cp932Conversion& operator=(const Cp932Conversion&) = delete;

  // Converts the *inLeft bytes at *in to *out, advancing all four. True once
  // all are converted. False with errno E2BIG when *room ran out (call again
  // with more), or EILSEQ when the bytes are not valid in the source
  // encoding (a truncated character too) or have no form in the target.
  bool Convert(const char** in, size_t* inLeft, char** out, size_t* room) noexcept;

 private:
  // Each system's file uses what it needs of these: the tables the
  // direction, iconv its descriptor.
  [[maybe_unused]] Direction direction_;
  [[maybe_unused]] void* system_ = nullptr;  // POSIX: an iconv_t
};
