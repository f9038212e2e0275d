// Helpers for the frame decoder tests: decoding with the notes collected, and the text each of
// the viewer's two channels would get from them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gff/allocation_budget.h"
#include "gff/frame_set.h"
#include "gff/load_report.h"

namespace karst::frame_tests {

// Large enough for every frame the tests make; the budget tests make their own.
inline constexpr std::uint64_t kAmpleBudget = 1ull << 32;

// What the viewer's standard output and standard error would hold for the decoder's notes:
// each output line and its line feed, each debug text as it is.
struct Channels {
  std::string out;
  std::string err;
};

inline Channels ChannelsOf(const std::vector<LoadNote>& notes) {
  Channels channels;
  for (const LoadNote& note : notes) {
    if (const std::optional<PrintedLine> line = PrintedLineOf(note)) {
      if (line->channel == LineChannel::kOutputLine) {
        channels.out += line->text + "\n";
      } else {
        channels.err += line->text;
      }
    }
  }
  return channels;
}

struct DecodedFrame {
  Frame frame;
  std::vector<LoadNote> notes;
  Channels channels;
};

// Decodes frame data that starts at `position` of `payload`.
inline DecodedFrame DecodeFrameAt(std::span<const std::uint8_t> payload, std::size_t position = 0) {
  DecodedFrame decoded;
  AllocationBudget budget(kAmpleBudget);
  DecodeFrame(decoded.frame, payload, position, budget, LoadReport::Into(decoded.notes));
  decoded.channels = ChannelsOf(decoded.notes);
  return decoded;
}

struct DecodedSet {
  FrameSet frameSet;
  std::vector<LoadNote> notes;
  Channels channels;
};

inline DecodedSet DecodeSet(std::span<const std::uint8_t> payload, std::uint64_t budgetBytes = kAmpleBudget) {
  DecodedSet decoded;
  AllocationBudget budget(budgetBytes);
  DecodeFrameSet(decoded.frameSet, payload, budget, LoadReport::Into(decoded.notes));
  decoded.channels = ChannelsOf(decoded.notes);
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
