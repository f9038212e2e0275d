#include "gff/gff_file.h"

#include <array>
#include <utility>

#include "gff/gff_reader.h"

namespace karst {

bool GffFile::Open(const std::filesystem::path& path, const LoadReport& report, std::uint64_t budgetBase) {
  std::optional<GffStream> stream = GffStream::OpenFile(path);
  if (!stream) {
    return false;
  }
  return OpenStream(std::move(*stream), report, budgetBase);
}

bool GffFile::OpenBytes(std::vector<std::uint8_t> bytes, const LoadReport& report, std::uint64_t budgetBase) {
  return OpenStream(GffStream::FromBytes(std::move(bytes)), report, budgetBase);
}

bool GffFile::OpenStream(GffStream stream, const LoadReport& report, std::uint64_t budgetBase) {
  Close();
  budget_ = AllocationBudget::ForFileOfSize(stream.size(), budgetBase);

  std::array<std::uint8_t, 4> magic{};
  if (stream.Read(magic) != magic.size() || magic[0] != 'G' || magic[1] != 'F' || magic[2] != 'F' || magic[3] != 'I') {
    return false;
  }
  stream.Skip(8);
  const std::uint32_t directoryPosition = stream.ReadU32();
  // The sum is taken in 32 bits, as the format's positions are.
  stream.Seek(static_cast<std::uint32_t>(directoryPosition + 4));
  if (stream.Failed()) {
    return false;
  }
  const std::uint32_t length = stream.ReadU32();
  directoryLengthCutShort_ = stream.Failed();
  directoryPosition_ = directoryPosition;
  directoryEnd_ = std::uint64_t{directoryPosition} + length;
  stream.Skip(2);
  const auto recordsLength = static_cast<std::int32_t>(length - kDirectoryHeaderSize);
  directory_ = GffReader().ReadDirectory(stream, recordsLength, budget_, report);
  stream.Clear();
  stream_ = std::move(stream);
  return true;
}

bool GffFile::SeekTo(const ChunkEntry& entry) {
  if (!stream_) {
    return false;
  }
  stream_->Seek(entry.offset);
  return !stream_->Failed();
}

std::size_t GffFile::Read(std::span<std::uint8_t> buffer) {
  if (!stream_) {
    return 0;
  }
  return stream_->Read(buffer);
}

bool GffFile::ClaimsMoreThanFile(const ChunkEntry& entry) {
  if (!stream_ || entry.size <= stream_->size()) {
    return false;
  }
  stream_->Fail();
  return true;
}

void GffFile::Close() {
  directory_ = std::make_unique<GffDirectory>();
  stream_.reset();
}

}  // namespace karst
