#include "fuzz/fuzz_seeds.h"

#include <fstream>
#include <iostream>
#include <optional>
#include <span>
#include <utility>

#include "authoring/byte_writer.h"
#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/sample_world.h"
#include "gff/format.h"

namespace karst::fuzzing {
namespace {

using authoring::ChunkTypeSpec;
using authoring::IndexedImage;
using Bytes = std::vector<std::uint8_t>;

IndexedImage Image(std::uint32_t width, std::uint32_t height, std::uint32_t colours) {
  IndexedImage image{width, height, Bytes(width * height)};
  for (std::uint32_t i = 0; i < image.pixels.size(); ++i) {
    // Runs of equal pixels and a few colours, so every encoding has repeats and codes to pack.
    image.pixels[i] = static_cast<std::uint8_t>((i / 3) % colours);
  }
  return image;
}

Bytes FrameSet(const std::vector<Bytes>& frames) { return authoring::WriteFrameSetPayload(frames).value_or(Bytes{}); }

Bytes Nrml(const IndexedImage& image) { return authoring::EncodeNrmlFrame(image).value_or(Bytes{}); }
Bytes Plan(const IndexedImage& image) { return authoring::EncodePlanFrame(image).value_or(Bytes{}); }
Bytes Plnr(const IndexedImage& image) { return authoring::EncodePlnrFrame(image).value_or(Bytes{}); }

Bytes Pattern(std::size_t count) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  }
  return bytes;
}

ChunkTypeSpec Type(const Tag& tag, std::vector<authoring::ChunkSpec> chunks, bool indexed = false) {
  return ChunkTypeSpec{tag, std::move(chunks), indexed, 0};
}

std::vector<Seed> FrameSetSeeds() {
  const IndexedImage tile = Image(16, 16, 5);
  return {
      {"nrml", FrameSet({Nrml(tile)})},
      {"plan", FrameSet({Plan(tile)})},
      {"plnr", FrameSet({Plnr(tile)})},
      {"blank", FrameSet({authoring::EncodeBlankFrame(16, 16)})},
      {"mixed", FrameSet({Nrml(Image(7, 5, 3)), Plan(Image(9, 2, 200)), Plnr(Image(4, 6, 2)),
                          authoring::EncodeBlankFrame(3, 3)})},
  };
}

std::vector<ChunkTypeSpec> Region(bool indexed) {
  const IndexedImage tile = Image(16, 16, 9);
  return {
      Type(kTagRnme, {{1, Bytes{'S', 'e', 'e', 'd'}}}, indexed),
      Type(kTagPal, {{1, Pattern(kPaletteBytes)}}, indexed),
      Type(kTagTile, {{9, FrameSet({Nrml(tile)})}, {4, FrameSet({Plan(tile)})}, {6, FrameSet({Plnr(tile)})}}, indexed),
      Type(kTagMap, {{1, Pattern(kMapBytes)}}, indexed),
      Type(kTagGmap, {{1, Pattern(64)}}, indexed),
      Type(kTagEtab, {{1, Bytes{0x10, 0x00, 0x20, 0x00, 0x05, 0x80, 0x07, 0x00}}}, indexed),
  };
}

std::vector<Seed> RegionSeeds() {
  return {
      {"region", authoring::WriteContainer(Region(false))},
      {"region-indexed", authoring::WriteContainer(Region(true))},
      {"region-small", authoring::WriteContainer({
                           Type(kTagTile, {{1, FrameSet({Nrml(Image(16, 16, 4))})}}),
                           Type(kTagMap, {{1, Pattern(32)}}),
                           Type(kTagEtab, {{1, Pattern(16)}}),
                       })},
  };
}

std::vector<Seed> LibrarySeeds() {
  const Bytes def{0x01, 0x00, 0x10, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05, 0x06, 0x07, 0x00, 0x00, 0x00};
  return {
      {"library", authoring::WriteContainer({
                      Type(kTagOjff, {{3, def}, {4, Pattern(15)}}),
                      Type(kTagBmp, {{7, FrameSet({Nrml(Image(12, 9, 6)), Plan(Image(3, 3, 2))})}}),
                      Type(kTagCbmp, {{7, FrameSet({Plnr(Image(8, 8, 4))})}}),
                  })},
      {"library-indexed", authoring::WriteContainer({
                              Type(kTagOjff, {{3, def}, {4, def}, {9, def}}, true),
                              Type(kTagBmp, {{7, FrameSet({Plnr(Image(5, 5, 3))})}, {8, FrameSet({})}}, true),
                          })},
  };
}

// One frame's data as the one-encoding targets take it: the encoder's output, from the width on.
std::vector<Seed> EncodingSeeds(Bytes (*encode)(const IndexedImage&)) {
  return {
      {"16x16", encode(Image(16, 16, 5))},          {"two-colours", encode(Image(9, 7, 2))},
      {"many-colours", encode(Image(23, 11, 200))}, {"one-pixel", encode(Image(1, 1, 1))},
      {"wide", encode(Image(300, 2, 17))},
  };
}

// The input of fuzz_compose (fuzz/compose_input.h).
Bytes ComposeInput(std::int16_t viewX, std::int16_t viewY, const Bytes& region, const Bytes& library) {
  authoring::ByteWriter out;
  out.u16le(static_cast<std::uint16_t>(viewX));
  out.u16le(static_cast<std::uint16_t>(viewY));
  out.u32le(static_cast<std::uint32_t>(region.size()));
  out.bytes(region);
  out.bytes(library);
  return out.take();
}

// An object for every entity of the seed region: OJFF 7 names BMP 7, drawn mirrored and lifted.
Bytes ComposeLibrary() {
  const Bytes def{0x00, 0x00, 0x04, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00};
  return authoring::WriteContainer({
      Type(kTagOjff, {{7, def}, {3, def}}),
      Type(kTagBmp, {{7, FrameSet({Plnr(Image(12, 20, 6))})}}),
  });
}

std::vector<Seed> ComposeSeeds() {
  const Bytes region = authoring::WriteContainer(Region(false));
  const Bytes library = ComposeLibrary();
  std::vector<Seed> seeds = {
      {"origin", ComposeInput(0, 0, region, library)},
      {"inside", ComposeInput(8, 8, region, library)},
      {"far-corner", ComposeInput(2047, 1535, region, library)},
      {"no-library", ComposeInput(0, 0, region, {})},
  };
  // A real region and library of the sample world, at a view inside the region.
  const std::vector<authoring::WorldFile> world = authoring::MakeSampleWorld();
  if (world.size() >= 2) {
    seeds.push_back({"sample-world", ComposeInput(300, 200, world.front().bytes, world.back().bytes)});
  }
  return seeds;
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

std::vector<SeedCorpus> MakeSeedCorpora() {
  std::vector<Seed> containers = RegionSeeds();
  for (Seed& seed : LibrarySeeds()) {
    containers.push_back(std::move(seed));
  }
  return {
      {"fuzz_container", containers},
      {"fuzz_region", RegionSeeds()},
      {"fuzz_object_library", LibrarySeeds()},
      {"fuzz_frame_set", FrameSetSeeds()},
      {"fuzz_nrml", EncodingSeeds(Nrml)},
      {"fuzz_plan", EncodingSeeds(Plan)},
      {"fuzz_plnr", EncodingSeeds(Plnr)},
      {"fuzz_compose", ComposeSeeds()},
      {"fuzz_info", containers},
      {"fuzz_roundtrip", std::move(containers)},
  };
}

bool WriteSeedCorpora(const std::filesystem::path& root, const std::vector<SeedCorpus>& corpora) {
  for (const SeedCorpus& corpus : corpora) {
    if (!WriteSeeds(root / corpus.target, corpus.seeds)) {
      return false;
    }
  }
  return true;
}

}  // namespace karst::fuzzing
