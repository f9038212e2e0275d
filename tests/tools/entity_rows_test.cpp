// The entity rows built from a region and a library held in memory: every reason, how many rows
// the layer's walk gives, and the JSON of a row. The edges of the region are tried against the
// renderer in entities_command_test.
#include "tools/common/entity_rows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace karst::tools {
namespace {

Frame FrameOf(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> pixels) {
  Frame frame;
  frame.width = width;
  frame.height = height;
  frame.pixels = std::move(pixels);
  return frame;
}

FrameSet FrameSetOf(std::vector<Frame> frames) {
  FrameSet set;
  set.frameCount = static_cast<std::int32_t>(frames.size());
  set.frames = std::move(frames);
  return set;
}

// Object 1: hotspot (4, 6), bitmap 10 (8 x 5). Object 6: hotspot (100, 100), the same bitmap.
// Object 2's chunk is not 16 bytes; objects 3, 4 and 5 name a missing bitmap, one without frames
// and one whose frame 0 has no pixels.
ObjectLibrary Library() {
  ObjectLibrary library;
  const auto define = [&library](std::int32_t number, std::uint32_t hotspotX, std::uint32_t hotspotY,
                                 std::uint32_t bitmap) {
    auto definition = std::make_unique<ObjectDef>();
    definition->hotspotX = hotspotX;
    definition->hotspotY = hotspotY;
    definition->bitmapId = bitmap;
    definition->id = static_cast<std::uint32_t>(number);
    library.objectDefs[number] = std::move(definition);
  };
  define(1, 4, 6, 10);
  library.objectDefs[2] = nullptr;
  define(3, 0, 0, 11);
  define(4, 0, 0, 12);
  define(5, 0, 0, 13);
  define(6, 100, 100, 10);
  library.bmpSets[10] = std::make_unique<FrameSet>(FrameSetOf({FrameOf(8, 5, std::vector<std::uint8_t>(40, 1))}));
  library.bmpSets[12] = std::make_unique<FrameSet>(FrameSetOf({}));
  library.bmpSets[13] = std::make_unique<FrameSet>(FrameSetOf({FrameOf(3, 3, {})}));
  return library;
}

struct RowCase {
  const char* what;
  Entity entity;
  std::optional<std::uint32_t> bitmapId;
  std::optional<EntityRectangle> rectangle;
  EntityReason reason;
};

const std::vector<RowCase> kRowCases = {
    {"plain", {50, 60, 0, 0, 1}, 10, EntityRectangle{46, 54, 8, 5}, EntityReason::kDrawn},
    {"mirrored and lifted", {50, 60, 7, 0x80, 1}, 10, EntityRectangle{46, 47, 8, 5}, EntityReason::kDrawn},
    {"no definition", {50, 60, 0, 0, 9}, std::nullopt, std::nullopt, EntityReason::kNoDefinition},
    {"wrong-size definition", {50, 60, 0, 0, 2}, std::nullopt, std::nullopt, EntityReason::kWrongSizeDefinition},
    {"missing bitmap", {50, 60, 0, 0, 3}, 11, std::nullopt, EntityReason::kNoBitmap},
    {"bitmap without frames", {50, 60, 0, 0, 4}, 12, std::nullopt, EntityReason::kNoBitmap},
    {"frame without pixels", {50, 60, 0, 0, 5}, 13, std::nullopt, EntityReason::kNoPixels},
    {"one pixel in at the corner", {93, 96, 0, 0, 6}, 10, EntityRectangle{-7, -4, 8, 5}, EntityReason::kDrawn},
    {"touching the corner", {92, 95, 0, 0, 6}, 10, EntityRectangle{-8, -5, 8, 5}, EntityReason::kOutsideRegion},
    {"far beyond both far edges",
     {65535, 65535, 0, 0, 1},
     10,
     EntityRectangle{65531, 65529, 8, 5},
     EntityReason::kOutsideRegion},
};

TEST(EntityRows, EachEntityIsPlacedOrGivenItsReason) {
  Region region;
  region.entities.emplace();
  for (const RowCase& row : kRowCases) {
    region.entities->push_back(row.entity);
  }
  region.entityCount = static_cast<std::int32_t>(kRowCases.size());
  const ObjectLibrary library = Library();
  const std::vector<EntityRow> rows = EntityRows(region, &library);
  ASSERT_EQ(rows.size(), kRowCases.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RowCase& expected = kRowCases[i];
    EXPECT_EQ(rows[i].index, i) << expected.what;
    EXPECT_EQ(rows[i].x, expected.entity.x) << expected.what;
    EXPECT_EQ(rows[i].z, expected.entity.z) << expected.what;
    EXPECT_EQ(rows[i].mirrored, expected.entity.flags == 0x80) << expected.what;
    EXPECT_EQ(rows[i].bitmapId, expected.bitmapId) << expected.what;
    EXPECT_EQ(rows[i].rectangle, expected.rectangle) << expected.what;
    EXPECT_EQ(rows[i].reason, expected.reason) << expected.what;
  }
}

TEST(EntityRows, TheLayersWalkDecidesHowManyRows) {
  struct Case {
    std::size_t table;
    std::int32_t entityCount;
    std::size_t rows;
  };
  for (const Case& c : std::vector<Case>{{3, 2, 2}, {3, 3, 3}, {3, 4, 3}, {3, 0, 0}, {3, -1, 0}, {0, 5, 0}}) {
    Region region;
    region.entities.emplace(c.table, Entity{1, 2, 0, 0, 1});
    region.entityCount = c.entityCount;
    const std::vector<EntityRow> rows = EntityRows(region, nullptr);
    ASSERT_EQ(rows.size(), c.rows) << c.table << " " << c.entityCount;
    for (const EntityRow& row : rows) {
      EXPECT_EQ(row.reason, EntityReason::kNoLibrary);
      EXPECT_FALSE(row.bitmapId);
    }
  }
}

TEST(EntityRows, JsonNamesTheFileAndEveryField) {
  Region region;
  region.entities = std::vector<Entity>{{50, 60, 7, 0x80, 1}, {50, 60, 0, 0, 3}};
  region.entityCount = 2;
  const ObjectLibrary library = Library();
  EXPECT_EQ(EntityRowsJson("RGN01.GFF", EntityRows(region, &library)),
            "{\"entities\":["
            "{\"bitmapId\":10,\"drawn\":true,\"flags\":128,\"height\":5,\"index\":0,\"left\":46,\"mirrored\":true,"
            "\"objectId\":1,\"top\":47,\"width\":8,\"x\":50,\"y\":60,\"z\":7},"
            "{\"bitmapId\":11,\"drawn\":false,\"flags\":0,\"height\":null,\"index\":1,\"left\":null,"
            "\"mirrored\":false,\"objectId\":3,\"reason\":\"no bitmap\",\"top\":null,\"width\":null,\"x\":50,"
            "\"y\":60,\"z\":0}],"
            "\"file\":\"RGN01.GFF\"}");
  EXPECT_EQ(EntityRowsJson("RGN02.GFF", {}), "{\"entities\":[],\"file\":\"RGN02.GFF\"}");
}

}  // namespace
}  // namespace karst::tools
