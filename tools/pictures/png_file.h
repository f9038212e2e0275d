// Indexed PNG files: 8-bit palette images whose pixel values are palette indices, as the tools
// write them, and reading them back (for checking what was written).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace karst::tools {

// 256 colours, red, green and blue for each.
using PngPalette = std::array<std::uint8_t, 256 * 3>;

// Which palette entries a picture lets the background show through.
enum class PngTransparency {
  kOpaque,
  // Index 0 only, as the object layer's colour key leaves it out: a tRNS chunk of one entry,
  // alpha 0.
  kIndexZero,
};

struct IndexedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width x height indices, row after row from the top
  PngPalette palette{};
  std::array<std::uint8_t, 256> alpha{};  // each entry's opacity; 255 for all without a tRNS chunk

  bool operator==(const IndexedPng&) const = default;
};

// Palette entry i is grey i.
PngPalette GreyPalette();

// Writes `pixels` (width x height indices), every pixel enlarged to a `scale` x `scale` square,
// as an 8-bit palette PNG with all 256 colours of `palette` to `target`, as an OutputFile. The
// enlarged picture is never held whole: each row is enlarged once and encoded `scale` times, so
// memory stays that of one enlarged row whatever the scale. Empty on success, else the reason
// (the image is empty, the pixel count does not match, the scale is 0 or the enlarged picture is
// too large for a PNG, or the file cannot be written). With PngTransparency::kIndexZero a tRNS
// chunk of one entry makes index 0 transparent.
std::string WriteIndexedPng(const std::string& target, std::uint32_t width, std::uint32_t height,
                            std::span<const std::uint8_t> pixels, const PngPalette& palette, std::uint32_t scale = 1,
                            PngTransparency transparency = PngTransparency::kOpaque);

// The same PNG, unscaled, as bytes in memory; nothing when the image is empty, the pixel count
// does not match or libpng fails.
std::optional<std::vector<std::uint8_t>> EncodeIndexedPng(std::uint32_t width, std::uint32_t height,
                                                          std::span<const std::uint8_t> pixels,
                                                          const PngPalette& palette, PngTransparency transparency);

// Writes `rgb` (width x height pixels of red, green and blue bytes, row after row) as an 8-bit
// RGB PNG to `target`, as an OutputFile. Empty on success, else the reason, as WriteIndexedPng.
std::string WriteRgbPng(const std::string& target, std::uint32_t width, std::uint32_t height,
                        std::span<const std::uint8_t> rgb);

// Reads a palette PNG back, indices and palette as stored. Nothing when the file cannot be read
// or holds no palette image.
std::optional<IndexedPng> ReadIndexedPng(const std::string& path);

}  // namespace karst::tools
