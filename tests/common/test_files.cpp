// The file helpers that need nothing of the system but the C library; the
// rest are in platform/<system>/test_files.cpp.
#include "tests/common/test_files.h"

#include <gtest/gtest.h>

#include <cstdio>

std::string JoinPath(const std::string& folder, const std::string& name) { return folder + kSeparator + name; }

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool ok = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  if (!ok) ADD_FAILURE() << "cannot write " << path;
  return ok;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  bytes->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[65536];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof(buffer), file)) > 0) bytes->append(buffer, count);
  std::fclose(file);
  return true;
}

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, &bytes);
  return bytes;
}

std::string Cp932JapaneseName() { return "ソフト.txt"; }

std::string RandomBytes(size_t count, uint32_t seed) {
  std::string bytes(count, '\0');
  uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}
