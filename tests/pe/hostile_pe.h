// The hostile-image tables. One: an image that carries a payload, and one
// small change to it per case with the error the reader must give; the
// reader's own test and the test against pefile both go through it. Two:
// resource trees in which the payload, or its check record, may not be the
// one Windows' FindResourceA finds; the reader's test and the one against
// Windows itself go through it.
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

struct HostileLookup {
  std::string why;
  std::vector<SyntheticResource> resources;
  std::string refusal;  // a part of the reader's error; empty where the tree is accepted
  // Where it is accepted: the payload's bytes, and the check record's
  // (empty: none).
  std::string payload;
  std::string check;
};

// Each tree twice: around "KORMIT", and around "KORMITCRC" beside a plain
// payload.
std::vector<HostileLookup> HostileLookups();
