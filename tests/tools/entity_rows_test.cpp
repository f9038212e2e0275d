// How many rows the layer's walk gives, and the JSON of rows. Every reason and the region's edges
// are tried against the renderer in entities_command_test.
#include "tools/inspect/entity_rows.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace karst::tools {
namespace {

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
  const std::vector<EntityRow> rows{
      {0, 50, 60, 7, 0x80, true, 1, 10, EntityRectangle{46, 47, 8, 5}, EntityReason::kDrawn},
      {1, 50, 60, 0, 0, false, 3, 11, std::nullopt, EntityReason::kNoBitmap}};
  EXPECT_EQ(EntityRowsJson("RGN01.GFF", rows),
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
