// Helpers for the frame decoder tests: decoding with the diagnostic channels captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "gff/allocation_budget.h"
#include "gff/frame_set.h"

namespace karst::frame_tests {

// Large enough for every frame the tests make; the budget tests make their own.
inline constexpr std::uint64_t kAmpleBudget = 1ull << 32;

// Standard output and standard error written while a decoder ran.
struct Channels {
  std::string out;
  std::string err;
};

template <typename Decode>
Channels Captured(Decode decode) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  decode();
  Channels channels;
  channels.err = ::testing::internal::GetCapturedStderr();
  channels.out = ::testing::internal::GetCapturedStdout();
  return channels;
}

struct DecodedFrame {
  Frame frame;
  Channels channels;
};

// Decodes frame data that starts at `position` of `payload`.
inline DecodedFrame DecodeFrameAt(std::span<const std::uint8_t> payload, std::size_t position = 0) {
  DecodedFrame decoded;
  AllocationBudget budget(kAmpleBudget);
  decoded.channels = Captured([&] { DecodeFrame(decoded.frame, payload, position, budget); });
  return decoded;
}

struct DecodedSet {
  FrameSet frameSet;
  Channels channels;
};

inline DecodedSet DecodeSet(std::span<const std::uint8_t> payload,
                            std::uint64_t budgetBytes = kAmpleBudget) {
  DecodedSet decoded;
  AllocationBudget budget(budgetBytes);
  decoded.channels = Captured([&] { DecodeFrameSet(decoded.frameSet, payload, budget); });
  return decoded;
}

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (const int value : values) {
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

}  // namespace karst::frame_tests
