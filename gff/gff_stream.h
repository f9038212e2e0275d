// The binary input stream a container is read through, over a file or over bytes in memory.
//
// It behaves like a standard binary input file stream in every way the container reader relies
// on, whatever backs it:
//   - a read of n bytes that meets the end keeps the bytes it got and sets end-of-file and fail;
//   - skip behaves like a read whose bytes are dropped;
//   - a seek first clears end-of-file, then does nothing once fail is set; a position of 2^31 or
//     more is refused (fail), while a position past the end is accepted, as a file accepts it;
//   - tell gives -1 once fail is set;
//   - the flags stay set until Clear().
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace karst {

class GffStream {
 public:
  // Positions are signed 32-bit in the format: this is the first one out of reach.
  static constexpr std::uint64_t kPositionLimit = 1ull << 31;

  // Files up to this size are read whole when opened and closed at once; larger ones are read
  // as the reader asks.
  static constexpr std::uint64_t kWholeFileLimit = 16ull << 20;

  // Opens a file for binary input; empty when it cannot be opened. The caller makes the path
  // (platform::NativePath for the program's path strings).
  static std::optional<GffStream> OpenFile(const std::filesystem::path& path);
  static GffStream FromBytes(std::vector<std::uint8_t> bytes);

  GffStream(GffStream&&) = default;
  GffStream& operator=(GffStream&&) = default;

  // Reads up to `into.size()` bytes; returns how many were read.
  std::size_t Read(std::span<std::uint8_t> into);
  void Skip(std::size_t count);
  // One 4-byte read into a field zeroed first: bytes missing at the end of the input read as 0.
  std::uint32_t ReadU32();
  void Seek(std::uint64_t position);
  std::int64_t Tell() const;

  bool Failed() const { return failed_; }
  bool AtEnd() const { return atEnd_; }
  void Clear();
  // Puts the stream into the failed state, as a refused read would.
  void Fail() { failed_ = true; }

  std::uint64_t size() const { return size_; }

 private:
  GffStream() = default;

  std::optional<std::ifstream> file_;
  std::uint64_t filePosition_ = 0;  // where the file's own position stands, to avoid needless seeks
  std::vector<std::uint8_t> bytes_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
  bool failed_ = false;
  bool atEnd_ = false;
};

}  // namespace karst
