// A growing little-endian byte buffer for writing container and frame bytes.
//
// The writers in authoring/ are the inverse of the readers in gff/: they lay bytes out exactly
// as the readers expect them, so tests, fuzz seeds and the sample world can make any file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "gff/format.h"

namespace karst::authoring {

class ByteWriter {
 public:
  ByteWriter() = default;
  // Goes on writing after `bytes`, which it may also patch: a container laid out again.
  explicit ByteWriter(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  void u8(std::uint8_t value) { bytes_.push_back(value); }

  void u16le(std::uint16_t value) {
    u8(static_cast<std::uint8_t>(value & 0xFF));
    u8(static_cast<std::uint8_t>(value >> 8));
  }

  void u32le(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      u8(static_cast<std::uint8_t>((value >> shift) & 0xFF));
    }
  }

  void bytes(std::span<const std::uint8_t> run) { bytes_.insert(bytes_.end(), run.begin(), run.end()); }

  void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }

  // The four characters of a tag, without its terminating zero.
  void tag(const Tag& value) {
    for (int i = 0; i < 4; ++i) {
      u8(static_cast<std::uint8_t>(value[static_cast<std::size_t>(i)]));
    }
  }

  // Overwrites four bytes already written, for positions known only later.
  void patchU32le(std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
      bytes_[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
  }

  // Overwrites `run.size()` bytes already written, from `at`.
  void patch(std::size_t at, std::span<const std::uint8_t> run) {
    std::copy(run.begin(), run.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& data() const { return bytes_; }
  std::vector<std::uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace karst::authoring
