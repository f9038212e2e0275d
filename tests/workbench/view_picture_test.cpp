#include "workbench/model/view_picture.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tools/pictures/saved_picture.h"
#include "workbench/model/map_pictures.h"

namespace karst::workbench {
namespace {

struct WriteCase {
  std::string name;
  std::string file;  // inside the temporary folder
  bool written;
};

TEST(ViewPictureTest, WritesTheViewAsRgbOrRefusesWithoutAFile) {
  const std::vector<Argb> pixels{OpaqueArgb(1, 2, 3), OpaqueArgb(250, 128, 0),   OpaqueArgb(0, 0, 0),
                                 OpaqueArgb(9, 8, 7), OpaqueArgb(255, 255, 255), 0x00405060u};
  const std::vector<WriteCase> cases{
      {"a PNG name", "view.png", true},
      {"no extension", "view", true},
      {"a region's name", "rgn07.gff", false},
      {"another format's extension", "view.jpg", false},
      {"a folder that is not there", "missing/view.png", false},
  };
  for (const WriteCase& c : cases) {
    SCOPED_TRACE(c.name);
    const testing::TempDir folder;
    const std::string path = (folder.path() / c.file).string();
    const std::string problem = WriteViewPicture(path, pixels, 3, 2);
    EXPECT_EQ(problem.empty(), c.written) << problem;
    if (!c.written) {
      EXPECT_TRUE(problem.starts_with(path + ": ")) << problem;
      EXPECT_TRUE(testing::FileNamesIn(folder.path()).empty());
      continue;
    }
    std::string error;
    const std::optional<tools::SavedPicture> read =
        tools::ReadSavedPicture(testing::ReadFileBytes(path), tools::PictureLimits{}, error);
    ASSERT_TRUE(read.has_value()) << error;
    ASSERT_EQ(read->width, 3u);
    ASSERT_EQ(read->height, 2u);
    EXPECT_FALSE(read->indexed);
    EXPECT_FALSE(read->transparency);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      const std::array<std::uint8_t, 4> colour = read->Colour(i);
      EXPECT_EQ(OpaqueArgb(colour[0], colour[1], colour[2]), pixels[i] | 0xFF000000u) << i;
    }
  }
}

struct ThumbnailCase {
  std::uint32_t width;
  std::uint32_t expectedWidth;
  std::uint32_t expectedHeight;
  Argb first;
  Argb last;
};

// Left half index 1 (black), right half index 2 with an object of index 3 (white) over its
// bottom-right quarter: the thumbnail's pixels average what they cover.
TEST(ThumbnailTest, AveragesTheComposedRegion) {
  MapPictures pictures;
  pictures.tiles.resize(2048 * 1536);
  pictures.objects.resize(2048 * 1536);
  for (std::size_t y = 0; y < 1536; ++y) {
    for (std::size_t x = 0; x < 2048; ++x) {
      pictures.tiles[y * 2048 + x] = x < 1024 ? 1 : 2;
      pictures.objects[y * 2048 + x] = x >= 1536 && y >= 768 ? 3 : 0;
    }
  }
  pictures.colours[1] = OpaqueArgb(0, 0, 0);
  pictures.colours[2] = OpaqueArgb(200, 100, 40);
  pictures.colours[3] = OpaqueArgb(255, 255, 255);
  const std::vector<ThumbnailCase> cases{
      {0, 0, 0, 0, 0},
      {1, 1, 1, OpaqueArgb(107, 69, 47), OpaqueArgb(107, 69, 47)},
      {2, 2, 2, OpaqueArgb(0, 0, 0), OpaqueArgb(228, 178, 148)},
      {4, 4, 3, OpaqueArgb(0, 0, 0), OpaqueArgb(255, 255, 255)},
      {4096, 2048, 1536, OpaqueArgb(0, 0, 0), OpaqueArgb(255, 255, 255)},
  };
  for (const ThumbnailCase& c : cases) {
    SCOPED_TRACE(c.width);
    const Thumbnail thumbnail = ThumbnailOf(pictures, c.width);
    ASSERT_EQ(thumbnail.width, c.expectedWidth);
    ASSERT_EQ(thumbnail.height, c.expectedHeight);
    ASSERT_EQ(thumbnail.pixels.size(), std::size_t{c.expectedWidth} * c.expectedHeight);
    if (!thumbnail.pixels.empty()) {
      EXPECT_EQ(thumbnail.pixels.front(), c.first);
      EXPECT_EQ(thumbnail.pixels.back(), c.last);
    }
  }
}

}  // namespace
}  // namespace karst::workbench
