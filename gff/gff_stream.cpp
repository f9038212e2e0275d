#include "gff/gff_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "gff/byte_reader.h"

namespace karst {

std::optional<GffStream> GffStream::OpenFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) {
    return std::nullopt;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  file.seekg(0, std::ios::beg);
  if (end < 0 || !file) {
    return std::nullopt;
  }
  const auto size = static_cast<std::uint64_t>(end);
  if (size <= kWholeFileLimit) {
    // Read at once: the loaders seek about the file, and every seek of a file stream costs a
    // system call. A file that shrank meanwhile keeps the bytes it still had.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return FromBytes(std::move(bytes));
  }
  GffStream stream;
  stream.size_ = size;
  stream.file_ = std::move(file);
  return stream;
}

GffStream GffStream::FromBytes(std::vector<std::uint8_t> bytes) {
  GffStream stream;
  stream.size_ = bytes.size();
  stream.bytes_ = std::move(bytes);
  return stream;
}

std::size_t GffStream::Read(std::span<std::uint8_t> into) {
  if (into.empty()) {
    return 0;
  }
  if (failed_) {
    return 0;
  }
  const std::uint64_t available = position_ < size_ ? size_ - position_ : 0;
  const std::size_t wanted = into.size();
  std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, available));
  if (count > 0) {
    if (file_) {
      if (filePosition_ != position_) {
        file_->clear();
        file_->seekg(static_cast<std::streamoff>(position_));
      }
      file_->read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(count));
      count = static_cast<std::size_t>(file_->gcount());
      file_->clear();
      filePosition_ = position_ + count;
    } else {
      std::memcpy(into.data(), bytes_.data() + position_, count);
    }
    position_ += count;
  }
  if (count < wanted) {
    atEnd_ = true;
    failed_ = true;
  }
  return count;
}

void GffStream::Skip(std::size_t count) {
  if (failed_) {
    return;
  }
  const std::uint64_t available = position_ < size_ ? size_ - position_ : 0;
  if (count > available) {
    position_ = std::max(position_, size_);
    atEnd_ = true;
    failed_ = true;
    return;
  }
  position_ += count;
}

std::uint32_t GffStream::ReadU32() {
  std::array<std::uint8_t, 4> field{};
  Read(field);
  ByteReader reader(field);
  return reader.u32le();
}

void GffStream::Seek(std::uint64_t position) {
  atEnd_ = false;
  if (failed_) {
    return;
  }
  if (position >= kPositionLimit) {
    failed_ = true;
    return;
  }
  position_ = position;
}

std::int64_t GffStream::Tell() const {
  if (failed_) {
    return -1;
  }
  return static_cast<std::int64_t>(position_);
}

void GffStream::Clear() {
  failed_ = false;
  atEnd_ = false;
}

}  // namespace karst
