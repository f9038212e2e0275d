#include "workbench/model/pointer_info.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gff/format.h"
#include "tests/support/region_picture.h"
#include "tests/support/temp_dir.h"
#include "workbench/model/map_pictures.h"

namespace karst::workbench {
namespace {

// An 8 x 8 object of one index; with `openCorner` its top-left pixel is 0, left out by the blit.
testing::IndexedImage Square(std::uint8_t index, bool openCorner) {
  testing::IndexedImage image{8, 8, std::vector<std::uint8_t>(64, index)};
  if (openCorner) {
    image.pixels[0] = 0;
  }
  return image;
}

// A region of our own: tile 1 everywhere but cell (3, 0), whose index 200 is past the two tiles;
// entity 0 a solid square at (100, 100), entity 1 a square with an open corner over its
// bottom-right part at (104, 104), entity 2 the same mirrored at (300, 300), entity 3 cut by the
// region's bottom-right corner.
ShownRegion PaintedRegion(const testing::TempDir& folder) {
  testing::RegionSpec spec;
  spec.palette = std::vector<std::uint8_t>(768);
  for (std::size_t i = 0; i < 768; ++i) {
    (*spec.palette)[i] = static_cast<std::uint8_t>((i / 3) % 64);
  }
  spec.tiles = {testing::PlainTile(5), testing::PlainTile(6)};
  spec.map = std::vector<std::uint8_t>(kMapBytes, 1);
  (*spec.map)[3] = 200;
  spec.name = "Test";
  spec.entities = std::vector<testing::EntityRecord>{
      {100, 100, 0, 0, 1}, {104, 104, 0, 0, 2}, {300, 300, 0, 0x80, 2}, {2044, 1532, 0, 0, 2}};
  const std::string region = folder.Write("RGN01.GFF", testing::WriteRegionFile(spec)).string();
  const std::string library =
      folder
          .Write("OBJEX.GFF",
                 testing::WriteObjectFile({{1, Square(9, false)}, {2, Square(10, true)}}, {{1, 0, 0, 1}, {2, 0, 0, 2}}))
          .string();
  MapPainter painter(library);
  ShownRegion shown;
  std::string error;
  EXPECT_TRUE(painter.Paint(region, shown, error)) << error;
  return shown;
}

struct PointerCase {
  std::string name;
  MapPoint pixel;
  bool inside;
  std::int32_t tile;
  std::optional<std::size_t> entity;
  std::string status;  // the status line; not checked when empty
};

TEST(PointerInfoTest, TheEntitySeenIsTheTopmostOpaqueOneAndTheStatusNamesIt) {
  const testing::TempDir folder;
  const ShownRegion region = PaintedRegion(folder);
  ASSERT_EQ(region.entities.size(), 4u);
  const std::vector<PointerCase> cases{
      {"the lower entity alone", {101, 101}, true, 1, 0, ""},
      {"where both are opaque, the later one",
       {105, 106},
       true,
       1,
       1,
       "x 105, y 106 \xC2\xB7 cell 6, 6 \xC2\xB7 tile 1 \xC2\xB7 entity 1: object 2 at 104, 104, z 0"},
      {"through the upper one's open corner to the lower", {104, 104}, true, 1, 0, ""},
      {"the upper one beyond the lower", {108, 108}, true, 1, 1, ""},
      {"mirrored: the left corner is drawn",
       {300, 300},
       true,
       1,
       2,
       "x 300, y 300 \xC2\xB7 cell 18, 18 \xC2\xB7 tile 1 \xC2\xB7 entity 2: object 2 at 300, 300, z 0, mirrored"},
      {"mirrored: the open corner is on the right", {307, 300}, true, 1, std::nullopt, ""},
      {"beside every object", {50, 60}, true, 1, std::nullopt, "x 50, y 60 \xC2\xB7 cell 3, 3 \xC2\xB7 tile 1"},
      {"a cell whose index is past the tiles draws tile 0", {50, 5}, true, 0, std::nullopt, ""},
      {"the last pixel of the region", {2047, 1535}, true, 1, 3, ""},
      {"one right of the region", {2048, 1535}, false, 0, std::nullopt, ""},
      {"one below the region", {2047, 1536}, false, 0, std::nullopt, ""},
      {"one left of the region", {-1, 0}, false, 0, std::nullopt, ""},
  };
  for (const PointerCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EntityAt(region, c.pixel), c.entity);
    const std::optional<PointerInfo> info = InfoAt(region, c.pixel);
    ASSERT_EQ(info.has_value(), c.inside);
    if (info) {
      EXPECT_EQ(info->cellX, c.pixel.x / 16);
      EXPECT_EQ(info->cellY, c.pixel.y / 16);
      EXPECT_EQ(info->tile, c.tile);
      EXPECT_EQ(info->entity, c.entity);
      if (!c.status.empty()) {
        EXPECT_EQ(StatusText(region, *info), c.status);
      }
    }
  }
}

}  // namespace
}  // namespace karst::workbench
