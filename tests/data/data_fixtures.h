// Helpers for the region and object library tests: containers made with authoring/, loaded from
// bytes, and the places of directory fields for patching.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "data/object_library.h"
#include "data/region.h"
#include "gff/gff_file.h"

namespace karst::data_tests {

using authoring::ChunkSpec;
using authoring::ChunkTypeSpec;
using authoring::IndexedImage;

inline std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> bytes;
  for (const int value : values) {
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

// `count` bytes of 0, 1, 2, ... from `start`, wrapping at 256.
inline std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t start = 0) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>(start + i);
  }
  return bytes;
}

inline std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A 16 x 16 tile whose pixel (x, y) is `base + y * 16 + x`, so every tile and pixel tells apart.
inline IndexedImage TileImage(std::uint8_t base) {
  IndexedImage image{16, 16, std::vector<std::uint8_t>(256)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = static_cast<std::uint8_t>(base + i);
  }
  return image;
}

// A frame-set payload holding `frames`, each NRML-encoded.
inline std::vector<std::uint8_t> FrameSetPayload(const std::vector<IndexedImage>& frames) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const IndexedImage& frame : frames) {
    std::optional<std::vector<std::uint8_t>> bytes = authoring::EncodeNrmlFrame(frame);
    EXPECT_TRUE(bytes.has_value());
    encoded.push_back(bytes.value_or(std::vector<std::uint8_t>{}));
  }
  std::optional<std::vector<std::uint8_t>> payload = authoring::WriteFrameSetPayload(encoded);
  EXPECT_TRUE(payload.has_value());
  return payload.value_or(std::vector<std::uint8_t>{});
}

inline std::vector<std::uint8_t> TilePayload(std::uint8_t base) { return FrameSetPayload({TileImage(base)}); }

inline ChunkTypeSpec Type(const Tag& tag, std::vector<ChunkSpec> chunks) {
  return ChunkTypeSpec{tag, std::move(chunks), false, 0};
}

// Where entry `entryIndex` of plain record `typeIndex` lies in a container written from `types`
// without indexed records: the directory's records start at 16 + 10, each record is an 8-byte
// header and 12 bytes an entry (number, offset, size).
inline std::size_t EntryPosition(const std::vector<ChunkTypeSpec>& types, std::size_t typeIndex,
                                 std::size_t entryIndex) {
  std::size_t position = 16 + 10;
  for (std::size_t i = 0; i < typeIndex; ++i) {
    position += 8 + 12 * types[i].chunks.size();
  }
  return position + 8 + 12 * entryIndex;
}
inline std::size_t OffsetFieldOf(const std::vector<ChunkTypeSpec>& types, std::size_t typeIndex,
                                 std::size_t entryIndex) {
  return EntryPosition(types, typeIndex, entryIndex) + 4;
}
inline std::size_t SizeFieldOf(const std::vector<ChunkTypeSpec>& types, std::size_t typeIndex, std::size_t entryIndex) {
  return EntryPosition(types, typeIndex, entryIndex) + 8;
}

inline std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}
inline void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// Loads from bytes in memory; what the load noted goes to `notes` when given.
inline std::unique_ptr<Region> RegionFromBytes(std::vector<std::uint8_t> bytes,
                                               std::vector<LoadNote>* notes = nullptr) {
  std::vector<LoadNote> unused;
  const LoadReport report = LoadReport::Into(notes != nullptr ? *notes : unused);
  GffFile file;
  if (!file.OpenBytes(std::move(bytes), report)) {
    return nullptr;
  }
  return LoadRegion(file, report);
}

inline std::unique_ptr<ObjectLibrary> LibraryFromBytes(std::vector<std::uint8_t> bytes,
                                                       std::vector<LoadNote>* notes = nullptr) {
  std::vector<LoadNote> unused;
  const LoadReport report = LoadReport::Into(notes != nullptr ? *notes : unused);
  GffFile file;
  if (!file.OpenBytes(std::move(bytes), report)) {
    return nullptr;
  }
  return LoadObjectLibrary(file, report);
}

}  // namespace karst::data_tests
