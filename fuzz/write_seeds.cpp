// Writes the seed corpora of the fuzz targets, all made with authoring/: one directory per
// target under the directory given, each seed a file named after what it holds.
//
//   write_seeds OUT_DIR
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"

namespace {

using karst::authoring::ChunkTypeSpec;
using karst::authoring::IndexedImage;
using Bytes = std::vector<std::uint8_t>;

IndexedImage Image(std::uint32_t width, std::uint32_t height, std::uint32_t colours) {
  IndexedImage image{width, height, Bytes(width * height)};
  for (std::uint32_t i = 0; i < image.pixels.size(); ++i) {
    // Runs of equal pixels and a few colours, so every encoding has repeats and codes to pack.
    image.pixels[i] = static_cast<std::uint8_t>((i / 3) % colours);
  }
  return image;
}

Bytes FrameSet(const std::vector<Bytes>& frames) {
  return karst::authoring::WriteFrameSetPayload(frames).value_or(Bytes{});
}

Bytes Nrml(const IndexedImage& image) { return karst::authoring::EncodeNrmlFrame(image).value_or(Bytes{}); }
Bytes Plan(const IndexedImage& image) { return karst::authoring::EncodePlanFrame(image).value_or(Bytes{}); }
Bytes Plnr(const IndexedImage& image) { return karst::authoring::EncodePlnrFrame(image).value_or(Bytes{}); }

Bytes Pattern(std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  }
  return bytes;
}

ChunkTypeSpec Type(const karst::Tag& tag, std::vector<karst::authoring::ChunkSpec> chunks, bool indexed = false) {
  return ChunkTypeSpec{tag, std::move(chunks), indexed, 0};
}

struct Seed {
  std::string name;
  Bytes bytes;
};

std::vector<Seed> FrameSetSeeds() {
  const IndexedImage tile = Image(16, 16, 5);
  return {
      {"nrml", FrameSet({Nrml(tile)})},
      {"plan", FrameSet({Plan(tile)})},
      {"plnr", FrameSet({Plnr(tile)})},
      {"blank", FrameSet({karst::authoring::EncodeBlankFrame(16, 16)})},
      {"mixed", FrameSet({Nrml(Image(7, 5, 3)), Plan(Image(9, 2, 200)), Plnr(Image(4, 6, 2)),
                          karst::authoring::EncodeBlankFrame(3, 3)})},
  };
}

std::vector<ChunkTypeSpec> Region(bool indexed) {
  const IndexedImage tile = Image(16, 16, 9);
  return {
      Type(karst::kTagRnme, {{1, Bytes{'S', 'e', 'e', 'd'}}}, indexed),
      Type(karst::kTagPal, {{1, Pattern(karst::kPaletteBytes)}}, indexed),
      Type(karst::kTagTile, {{9, FrameSet({Nrml(tile)})}, {4, FrameSet({Plan(tile)})}, {6, FrameSet({Plnr(tile)})}},
           indexed),
      Type(karst::kTagMap, {{1, Pattern(karst::kMapBytes)}}, indexed),
      Type(karst::kTagGmap, {{1, Pattern(64)}}, indexed),
      Type(karst::kTagEtab, {{1, Bytes{0x10, 0x00, 0x20, 0x00, 0x05, 0x80, 0x07, 0x00}}}, indexed),
  };
}

std::vector<Seed> RegionSeeds() {
  return {
      {"region", karst::authoring::WriteContainer(Region(false))},
      {"region-indexed", karst::authoring::WriteContainer(Region(true))},
      {"region-small", karst::authoring::WriteContainer({
                           Type(karst::kTagTile, {{1, FrameSet({Nrml(Image(16, 16, 4))})}}),
                           Type(karst::kTagMap, {{1, Pattern(32)}}),
                           Type(karst::kTagEtab, {{1, Pattern(16)}}),
                       })},
  };
}

std::vector<Seed> LibrarySeeds() {
  const Bytes def{0x01, 0x00, 0x10, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x06, 0x07, 0x00, 0x00, 0x00};
  return {
      {"library", karst::authoring::WriteContainer({
                      Type(karst::kTagOjff, {{3, def}, {4, Pattern(15)}}),
                      Type(karst::kTagBmp, {{7, FrameSet({Nrml(Image(12, 9, 6)), Plan(Image(3, 3, 2))})}}),
                      Type(karst::kTagCbmp, {{7, FrameSet({Plnr(Image(8, 8, 4))})}}),
                  })},
      {"library-indexed", karst::authoring::WriteContainer({
                              Type(karst::kTagOjff, {{3, def}, {4, def}, {9, def}}, true),
                              Type(karst::kTagBmp, {{7, FrameSet({Plnr(Image(5, 5, 3))})}, {8, FrameSet({})}}, true),
                          })},
  };
}

bool WriteSeeds(const std::filesystem::path& directory, const std::vector<Seed>& seeds) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) {
    std::cerr << "write_seeds: cannot create " << directory.string() << ": " << error.message() << "\n";
    return false;
  }
  for (const Seed& seed : seeds) {
    const std::filesystem::path path = directory / ("seed-" + seed.name);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(seed.bytes.data()), static_cast<std::streamsize>(seed.bytes.size()));
    if (!out) {
      std::cerr << "write_seeds: cannot write " << path.string() << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_seeds OUT_DIR\n";
    return 2;
  }
  const std::filesystem::path root = argv[1];
  std::vector<Seed> containers = RegionSeeds();
  for (Seed& seed : LibrarySeeds()) {
    containers.push_back(std::move(seed));
  }
  const bool written = WriteSeeds(root / "fuzz_frame_set", FrameSetSeeds()) &&
                       WriteSeeds(root / "fuzz_region", RegionSeeds()) &&
                       WriteSeeds(root / "fuzz_object_library", LibrarySeeds()) &&
                       WriteSeeds(root / "fuzz_container", containers);
  return written ? 0 : 1;
}
