// karst-make-icons: the viewer's desktop icon, made at build time from the sample world's own
// art: the town hall alone, as the object layer draws it (frame 0 of its bitmap, index 0 see-
// through) in the colours of the town region, centred on a square that it fills, written at
// every icon size as an indexed PNG whose index 0 is transparent.
//
//   karst-make-icons WORLD_DIR OUT_DIR
//
// WORLD_DIR holds the sample world (RGN04.GFF and OBJEX.GFF); OUT_DIR gets
// karst-viewer-SIZE.png for each size of kIconSizes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "authoring/sample_objects.h"
#include "authoring/sample_world.h"
#include "data/object_library.h"
#include "gff/frame_set.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/region_palette.h"

namespace {

// The sizes desktops look for in the hicolor icon theme.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr char kRegionFile[] = "RGN04.GFF";
constexpr karst::authoring::Prop kSubject = karst::authoring::Prop::kTownHall;

// The subject's frame 0 on a square as wide as its longer side, centred, index 0 around it,
// sampled down to `size` x `size`: each icon pixel is the frame pixel under its centre.
std::vector<std::uint8_t> Icon(const karst::Frame& frame, int size) {
  const auto width = static_cast<int>(frame.width);
  const auto height = static_cast<int>(frame.height);
  const int side = std::max(width, height);
  const int left = (side - width) / 2;
  const int top = (side - height) / 2;
  std::vector<std::uint8_t> icon(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int frameX = (2 * x + 1) * side / (2 * size) - left;
      const int frameY = (2 * y + 1) * side / (2 * size) - top;
      if (frameX >= 0 && frameX < width && frameY >= 0 && frameY < height) {
        icon[static_cast<std::size_t>(y * size + x)] = frame.pixels[static_cast<std::size_t>(frameY * width + frameX)];
      }
    }
  }
  return icon;
}

int Fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "karst-make-icons: %s: %s\n", file.c_str(), reason.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: karst-make-icons WORLD_DIR OUT_DIR\n", stderr);
    return 2;
  }
  const std::filesystem::path world = argv[1];
  const std::filesystem::path out = argv[2];
  const std::string library = (world / karst::authoring::kObjectLibraryFileName).string();
  const std::unique_ptr<karst::ObjectLibrary> objects = karst::LoadObjectLibrary(library, karst::LoadReport());
  if (objects == nullptr) {
    return Fail(library, "not an object library");
  }
  const auto definition = objects->objectDefs.find(karst::authoring::ObjectIdOf(kSubject));
  if (definition == objects->objectDefs.end() || definition->second == nullptr) {
    return Fail(library, "no definition of the town hall");
  }
  const auto bitmap = objects->bmpSets.find(static_cast<std::int32_t>(definition->second->bitmapId));
  if (bitmap == objects->bmpSets.end() || bitmap->second == nullptr || bitmap->second->frames.empty() ||
      !bitmap->second->frames.front().HasPixels()) {
    return Fail(library, "no picture of the town hall");
  }
  const std::string region = (world / kRegionFile).string();
  std::string error;
  const std::optional<karst::tools::RegionColours> colours = karst::tools::ReadRegionColours(region, error);
  if (!colours) {
    return Fail(region, error);
  }
  std::error_code made;
  std::filesystem::create_directories(out, made);
  if (made) {
    return Fail(out.string(), made.message());
  }
  for (const int size : kIconSizes) {
    const std::string path = (out / ("karst-viewer-" + std::to_string(size) + ".png")).string();
    const auto side = static_cast<std::uint32_t>(size);
    error = karst::tools::WriteIndexedPng(path, side, side, Icon(bitmap->second->frames.front(), size),
                                          colours->palette, 1, karst::tools::PngTransparency::kIndexZero);
    if (!error.empty()) {
      return Fail(path, error);
    }
  }
  return 0;
}
