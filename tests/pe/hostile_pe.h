// The hostile-image table: an image that carries a payload, and one small
// change to it per case with the error the reader must give. The reader's
// own test and the test against pefile both go through it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/pe/synthetic_pe.h"

struct HostilePe {
  const char* why;
  std::function<void(std::vector<uint8_t>&, const SyntheticPe&)> damage;
  const char* error;
};

constexpr char kHostilePayload[] = "the payload's bytes";

// The synthetic default resources and the payload (type "FILESPACK", name
// "KORMIT") holding kHostilePayload.
SyntheticPe HostileBase();

std::vector<HostilePe> HostilePeCases();
