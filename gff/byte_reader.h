// A bounds-checked little-endian reader over bytes in memory.
//
// Every read stays inside the bytes it was given: a read past the end yields zeros for the
// missing bytes, consumes what was there and sets a sticky `ranOut()` flag that the caller
// looks at once where it matters. Multi-byte values are assembled byte by byte, so the host's
// byte order never enters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace karst {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t size() const { return bytes_.size(); }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }
  bool ranOut() const { return ranOut_; }

  std::uint8_t u8() {
    if (position_ >= bytes_.size()) {
      ranOut_ = true;
      return 0;
    }
    return bytes_[position_++];
  }

  std::uint16_t u16le() {
    const std::uint16_t low = u8();
    const std::uint16_t high = u8();
    return static_cast<std::uint16_t>(low | (high << 8));
  }

  std::uint32_t u32le() {
    const std::uint32_t b0 = u8();
    const std::uint32_t b1 = u8();
    const std::uint32_t b2 = u8();
    const std::uint32_t b3 = u8();
    return b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
  }

  // The next `count` bytes, or fewer (and `ranOut()`) when the input ends first.
  std::span<const std::uint8_t> take(std::size_t count) {
    const std::size_t available = remaining();
    if (count > available) {
      ranOut_ = true;
      count = available;
    }
    const std::span<const std::uint8_t> run = bytes_.subspan(position_, count);
    position_ += count;
    return run;
  }

  void skip(std::size_t count) { take(count); }

  // Moves to an absolute position; a position past the end is clamped to the end and ran out.
  void seek(std::size_t position) {
    if (position > bytes_.size()) {
      ranOut_ = true;
      position = bytes_.size();
    }
    position_ = position;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  bool ranOut_ = false;
};

}  // namespace karst
