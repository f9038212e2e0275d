// karst-make-icons: the viewer's desktop icon, made at build time from the sample world's own
// art. It draws the town region of the sample world as the viewer does and cuts a square around
// its town hall, then writes that square at every icon size as an indexed PNG.
//
//   karst-make-icons WORLD_DIR OUT_DIR
//
// WORLD_DIR holds the sample world (RGN04.GFF and OBJEX.GFF); OUT_DIR gets
// karst-viewer-SIZE.png for each size of kIconSizes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/sample_objects.h"
#include "authoring/sample_world.h"
#include "tools/karst-render/render_region.h"

namespace {

// The sizes desktops look for in the hicolor icon theme.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr char kRegionFile[] = "RGN04.GFF";
constexpr std::size_t kRegionIndex = 3;
constexpr karst::authoring::Prop kSubject = karst::authoring::Prop::kTownHall;
// Room around the subject, in map pixels on each side.
constexpr int kMargin = 8;

struct Square {
  int left;
  int top;
  int side;
};

// The square around the first entity of the subject's object in the region, as the object layer
// puts it (its foot on the entity's position), inside the region's bounds.
Square SubjectSquare(const karst::tools::RegionPicture& picture) {
  const karst::authoring::SampleWorld world = karst::authoring::MakeSampleWorldContent();
  const std::uint16_t objectId = karst::authoring::ObjectIdOf(kSubject);
  const auto object = std::ranges::find_if(
      world.objects, [objectId](const karst::authoring::SampleObject& o) { return o.objectId == objectId; });
  const karst::authoring::SampleRegion& region = world.regions.at(kRegionIndex);
  const auto entity = std::ranges::find_if(
      region.entities, [objectId](const karst::authoring::SampleEntity& e) { return e.objectId == objectId; });
  const int pictureWidth = static_cast<int>(picture.width);
  const int pictureHeight = static_cast<int>(picture.height);
  if (object == world.objects.end() || object->frames.empty() || entity == region.entities.end()) {
    const int side = std::min(pictureWidth, pictureHeight) / 4;
    return Square{(pictureWidth - side) / 2, (pictureHeight - side) / 2, side};
  }
  const int width = static_cast<int>(object->frames.front().image.width);
  const int height = static_cast<int>(object->frames.front().image.height);
  const int side = std::min({std::max(width, height) + 2 * kMargin, pictureWidth, pictureHeight});
  const int centreX = entity->x - object->hotspotX + width / 2;
  const int centreY = entity->y - entity->z - object->hotspotY + height / 2;
  return Square{std::clamp(centreX - side / 2, 0, pictureWidth - side),
                std::clamp(centreY - side / 2, 0, pictureHeight - side), side};
}

// The square at `size` x `size`, each icon pixel the map pixel under its centre.
karst::tools::RegionPicture Sample(const karst::tools::RegionPicture& picture, const Square& square, int size) {
  karst::tools::RegionPicture icon;
  icon.width = static_cast<std::uint32_t>(size);
  icon.height = static_cast<std::uint32_t>(size);
  icon.palette = picture.palette;
  icon.pixels.resize(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const int sourceX = square.left + (2 * x + 1) * square.side / (2 * size);
      const int sourceY = square.top + (2 * y + 1) * square.side / (2 * size);
      icon.pixels[static_cast<std::size_t>(y * size + x)] =
          picture.pixels[static_cast<std::size_t>(sourceY) * picture.width + static_cast<std::size_t>(sourceX)];
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
  karst::tools::RegionRenderer renderer(karst::tools::RegionRenderer::Frame::kWholeRegion);
  std::string error = renderer.SetUp();
  if (!error.empty()) {
    return Fail(world.string(), error);
  }
  const std::string library = (world / karst::authoring::kObjectLibraryFileName).string();
  error = renderer.LoadObjects(library);
  if (!error.empty()) {
    return Fail(library, error);
  }
  const std::string region = (world / kRegionFile).string();
  karst::tools::RegionPicture picture;
  if (!renderer.Render(region, karst::tools::ViewOrigin{}, picture, error)) {
    return Fail(region, error);
  }
  std::error_code made;
  std::filesystem::create_directories(out, made);
  if (made) {
    return Fail(out.string(), made.message());
  }
  const Square square = SubjectSquare(picture);
  for (const int size : kIconSizes) {
    const std::string path = (out / ("karst-viewer-" + std::to_string(size) + ".png")).string();
    error = karst::tools::WritePicture(path, Sample(picture, square, size));
    if (!error.empty()) {
      return Fail(path, error);
    }
  }
  return 0;
}
