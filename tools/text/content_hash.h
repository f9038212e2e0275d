// The hash an unpack folder's manifest keeps of every file it lists, so that `pack` can tell an
// edited file from one nobody touched without a copy of the original.
//
// XXH64 with seed 0, written as 16 lower-case hex digits: fast enough that hashing a folder costs
// less than reading it, and wide enough that an edit is never mistaken for the original by
// chance. It guards against accidents, not against someone forging a file.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace karst::tools {

inline constexpr const char* kContentHashName = "xxh64";

std::uint64_t Xxh64(std::span<const std::uint8_t> bytes);

// Xxh64 of `bytes` as 16 lower-case hex digits.
std::string ContentHash(std::span<const std::uint8_t> bytes);

}  // namespace karst::tools
