// Writes a generated object library of at least 30 MB for the unpack and pack figures of `make
// bench`: 2400 "BMP " chunks of two frames each (NRML, PLAN and PLNR in turn, 96 x 96 pixels of
// patterned noise), half of them in an indexed record, and an OJFF definition for each.
//
//   karst-bench-library OUT.GFF
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/record_writers.h"

namespace {

constexpr std::uint32_t kBitmaps = 2400;
constexpr std::uint32_t kSide = 96;

karst::authoring::IndexedImage Noise(std::uint32_t seed) {
  karst::authoring::IndexedImage image{kSide, kSide, std::vector<std::uint8_t>(kSide * kSide)};
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    // Runs and a border of index 0, as sprites have; 48 colours, so PLAN and PLNR take 6 bits.
    const bool clear = i % kSide < 4 || (state >> 28) == 0;
    image.pixels[i] = clear ? 0 : static_cast<std::uint8_t>(1 + (state >> 24) % 48);
  }
  return image;
}

std::vector<std::uint8_t> Encoded(const karst::authoring::IndexedImage& image, std::uint32_t kind) {
  switch (kind % 3) {
    case 0:
      return *karst::authoring::EncodeNrmlFrame(image);
    case 1:
      return *karst::authoring::EncodePlanFrame(image);
    default:
      return *karst::authoring::EncodePlnrFrame(image);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: karst-bench-library OUT.GFF\n");
    return 2;
  }
  karst::authoring::ChunkTypeSpec plain{karst::kTagBmp, {}, false, 0};
  karst::authoring::ChunkTypeSpec indexed{karst::kTagBmp, {}, true, 0};
  karst::authoring::ChunkTypeSpec objects{karst::kTagOjff, {}, false, 0};
  for (std::uint32_t n = 0; n < kBitmaps; ++n) {
    const auto payload =
        karst::authoring::WriteFrameSetPayload({Encoded(Noise(2 * n), n), Encoded(Noise(2 * n + 1), n + 1)});
    (n % 2 == 0 ? plain : indexed).chunks.push_back({n, *payload});
    karst::authoring::ObjectDefRecord definition;
    definition.hotspotX = kSide / 2;
    definition.hotspotY = kSide - 1;
    definition.bitmapId = static_cast<std::uint16_t>(n);
    objects.chunks.push_back({n, karst::authoring::WriteObjectDef(definition)});
  }
  const std::vector<std::uint8_t> bytes = karst::authoring::WriteContainer({plain, indexed, objects});
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "karst-bench-library: %s cannot be written\n", argv[1]);
    return 1;
  }
  return 0;
}
