// The one conversion between code page 932 and UTF-8 on POSIX, through
// iconv: the extractor's entry names and the packager's texts both use it,
// so they agree on every byte sequence.
#pragma once

#include <cstddef>

class Cp932Iconv {
 public:
  enum Direction { kToUtf8, kFromUtf8 };
  explicit Cp932Iconv(Direction direction) noexcept;
  ~Cp932Iconv();
  Cp932Iconv(const Cp932Iconv&) = delete;
  Cp932Iconv& operator=(const Cp932Iconv&) = delete;

  // Converts the *inLeft bytes at *in to *out, advancing all four. True once
  // all are converted. False with errno E2BIG when *room ran out (call again
  // with more), or EILSEQ when the bytes are not valid in the source
  // encoding (a truncated character too) or have no form in the target.
  bool Convert(const char** in, size_t* inLeft, char** out, size_t* room) noexcept;

 private:
  void* descriptor_;  // an iconv_t, (iconv_t)-1 when iconv_open failed
};
