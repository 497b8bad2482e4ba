// What the process printed, read as JSON. Running it is each system's own
// (platform/<system>/filepacker_process.cpp).
#include "tests/tools/filepacker_process.h"

#include <gtest/gtest.h>

nlohmann::json ParseJson(const ProcessResult& result) {
  nlohmann::json parsed = nlohmann::json::parse(result.out, nullptr, false);
  EXPECT_FALSE(parsed.is_discarded()) << "not JSON: " << result.out;
  return parsed;
}
