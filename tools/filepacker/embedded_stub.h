// The installer program without a payload, carried inside filepacker so that
// `filepacker installer` needs no compiler, SDK or other file.
#pragma once

#include <cstdint>
#include <span>

// The stub's bytes; empty when this filepacker was built without it (a
// build made without the cross compiler), and then --stub must name one.
std::span<const uint8_t> EmbeddedStub();

// What messages call it.
inline constexpr char kEmbeddedStubName[] = "the installer program built into filepacker";
