// The hostile images (tests/pe/hostile_pe.h) against an independent reading
// of them: Debian's pefile, which maps sections as the Windows loader does.
// The reader refuses an image, or finds the payload bytes that pefile finds.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "pe/payload_resource.h"
#include "tests/common/temp_folder.h"
#include "tests/pe/hostile_pe.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string Hex(const uint8_t* bytes, size_t size) {
  std::string hex;
  char digits[3];
  for (size_t i = 0; i < size; i++) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    hex += digits;
  }
  return hex;
}

// pefile's reading of each image: "=HEX" of the payload, or "-".
std::map<std::string, std::string> PefilePayloads(const std::vector<std::string>& images) {
  std::string command = std::string(KORMIT_PEFILE_PYTHON) + " '" + KORMIT_PEFILE_SCRIPT + "'";
  for (const std::string& image : images) command += " '" + image + "'";
  std::map<std::string, std::string> found;
  std::FILE* out = popen(command.c_str(), "r");
  if (out == nullptr) return found;
  char line[4096];
  while (std::fgets(line, sizeof line, out) != nullptr) {
    std::string text(line);
    const size_t space = text.rfind(' ');
    if (space != std::string::npos) found[text.substr(0, space)] = text.substr(space + 1, text.find('\n') - space - 1);
  }
  EXPECT_EQ(0, pclose(out)) << command;
  return found;
}

TEST(PeReader, RefusesOrAgreesWithPefile) {
  const SyntheticPe pe = HostileBase();
  std::vector<HostilePe> cases = HostilePeCases();
  cases.insert(cases.begin(), {"undamaged", [](Bytes&, const SyntheticPe&) {}, ""});
  TempFolder folder;
  std::vector<std::string> images;
  std::vector<std::string> ours;  // "=HEX", or "refused"
  for (size_t i = 0; i < cases.size(); i++) {
    Bytes bytes = pe.bytes;
    cases[i].damage(bytes, pe);
    images.push_back(folder / ("case" + std::to_string(i) + ".exe"));
    std::FILE* file = std::fopen(images.back().c_str(), "wb");
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    PayloadLocation where;
    std::string error;
    ours.push_back(FindPayload(bytes, where, error) ? "=" + Hex(bytes.data() + where.offset, where.size) : "refused");
  }
  const std::map<std::string, std::string> pefile = PefilePayloads(images);
  EXPECT_EQ("=" + Hex(reinterpret_cast<const uint8_t*>(kHostilePayload), sizeof kHostilePayload - 1), ours[0]);
  for (size_t i = 0; i < cases.size(); i++) {
    const auto theirs = pefile.find(images[i]);
    ASSERT_NE(pefile.end(), theirs) << "pefile said nothing of " << images[i];
    if (ours[i] != "refused") {
      EXPECT_EQ(theirs->second, ours[i]) << cases[i].why;
    }
  }
}

}  // namespace
