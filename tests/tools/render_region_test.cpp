// karst-render region, run as a program: a view is byte for byte the frame an in-process display
// presents, and the whole region is the tiles and objects composed pixel by pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "display/display_surface.h"
#include "platform/message_box.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using karst::testing::BitmapRecord;
using karst::testing::EntityRecord;
using karst::testing::ObjectRecord;
using karst::testing::Picture;
using karst::testing::ProgramResult;
using karst::testing::RegionSpec;
using karst::testing::RunProgram;
using karst::testing::TempDir;

testing::IndexedImage Bitmap(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  testing::IndexedImage image{width, height, {}};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      image.pixels.push_back((x + y) % 4 == 0 ? 0 : static_cast<std::uint8_t>(seed + x * 5 + y));
    }
  }
  return image;
}

// A palette of distinct colours with black at 0 and white at 255, four tiles, a map that uses
// them and one index beyond them, a name, and objects at the region's corners and edges, one
// mirrored and one lifted.
struct RegionWorld {
  RegionSpec region;
  std::vector<BitmapRecord> bitmaps{{3, Bitmap(40, 30, 50)}, {8, Bitmap(17, 64, 120)}};
  std::vector<ObjectRecord> objects{{1, 20, 29, 3}, {2, 8, 60, 8}};

  RegionWorld() {
    std::vector<std::uint8_t> palette(768);
    for (std::size_t i = 0; i < palette.size(); ++i) {
      palette[i] = static_cast<std::uint8_t>((i * 7 + i / 3) % 62 + 1);
    }
    palette[0] = palette[1] = palette[2] = 0;
    palette[765] = palette[766] = palette[767] = 63;
    region.palette = palette;
    for (std::uint8_t t = 0; t < 4; ++t) {
      region.tiles.push_back(testing::PatternTile(static_cast<std::uint8_t>(60 * t + 1)));
    }
    std::vector<std::uint8_t> map(12288);
    for (std::size_t i = 0; i < map.size(); ++i) {
      map[i] = static_cast<std::uint8_t>((i * 13 + i / 128) % 5);  // 4 lies beyond the tiles
    }
    region.map = map;
    region.name = "Render Test";
    region.entities = std::vector<EntityRecord>{
        {5, 10, 0, 0, 1},        // hangs off the top-left corner
        {400, 300, 7, 0x80, 1},  // mirrored, lifted
        {410, 310, 0, 0, 2},     // over the one before
        {2040, 1530, 0, 0, 2},   // hangs off the bottom-right corner
        {1000, 700, 0, 0, 99},   // names no object
    };
  }
};

struct RegionFiles {
  TempDir dir;
  std::string region;
  std::string objects;

  explicit RegionFiles(const RegionWorld& world)
      : region(dir.Write("RGN01.GFF", testing::WriteRegionFile(world.region)).string()),
        objects(dir.Write("OBJEX.GFF", testing::WriteObjectFile(world.bitmaps, world.objects)).string()) {}
};

tools::PngPalette ExpectedPalette(const RegionWorld& world) {
  tools::PngPalette palette{};
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const std::uint32_t six = (*world.region.palette)[i];
    palette[i] = static_cast<std::uint8_t>(six * 255 / 63);
  }
  return palette;
}

// The frame the viewer presents at the view, from a display in this process.
std::vector<std::uint8_t> PresentedFrame(const RegionFiles& files, std::int32_t x, std::int32_t y) {
  platform::CaptureMessageBoxes(true);
  DisplaySurface display(nullptr, 480, 640, 8, 0);
  EXPECT_EQ(display.InitDirectDraw(), 1);
  EXPECT_EQ(display.LoadObjects(files.objects), 1);
  EXPECT_TRUE(display.LoadZone(files.region.c_str()));
  display.ScrollBy(x, y);
  const platform::PixelView view = display.primary->pixels();
  std::vector<std::uint8_t> pixels;
  for (std::int32_t row = 0; row < view.height; ++row) {
    for (std::int32_t column = 0; column < view.width; ++column) {
      pixels.push_back(view.at(column, row));
    }
  }
  EXPECT_TRUE(platform::CapturedMessageBoxes().empty());
  platform::CaptureMessageBoxes(false);
  return pixels;
}

ProgramResult Render(const std::vector<std::string>& arguments) {
  std::vector<std::string> all{"region"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return RunProgram(karst::testing::BuiltProgram("karst-render"), all);
}

TEST(RenderRegion, AViewIsTheFrameTheViewerPresents) {
  const RegionWorld world;
  const RegionFiles files(world);
  struct View {
    std::string argument;
    std::int32_t x;
    std::int32_t y;
  };
  for (const View& view : {View{"0,0", 0, 0}, View{"390,250", 390, 250}, View{"10000,-5", 10000, -5}}) {
    const std::string output = (files.dir.path() / "view.png").string();
    const ProgramResult result =
        Render({files.region, "--objects", files.objects, "--view", view.argument, "-o", output});
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
    const auto png = tools::ReadIndexedPng(output);
    ASSERT_TRUE(png) << view.argument;
    EXPECT_EQ(png->width, 640u);
    EXPECT_EQ(png->height, 480u);
    EXPECT_EQ(png->palette, ExpectedPalette(world));
    EXPECT_TRUE(png->pixels == PresentedFrame(files, view.x, view.y)) << view.argument;
  }
}

TEST(RenderRegion, AViewShowsTheNameBand) {
  const RegionWorld world;
  const RegionFiles files(world);
  const std::string output = (files.dir.path() / "view.png").string();
  ASSERT_EQ(Render({files.region, "--no-objects", "--view", "0,0", "-o", output}).exitCode, 0);
  const auto png = tools::ReadIndexedPng(output);
  ASSERT_TRUE(png);
  Picture tilesOnly = testing::ComposeTiles(world.region, 0, 0, 640, 480);
  // Above the band the tiles, in the band black and white.
  int black = 0;
  int white = 0;
  for (std::size_t i = 0; i < png->pixels.size(); ++i) {
    if (i < 465 * 640) {
      ASSERT_EQ(png->pixels[i], tilesOnly.pixels[i]) << i;
    } else {
      black += png->pixels[i] == 0 ? 1 : 0;
      white += png->pixels[i] == 255 ? 1 : 0;
    }
  }
  EXPECT_GT(black, 0);
  EXPECT_GT(white, 0);
}

TEST(RenderRegion, TheWholeRegionIsTheTilesAndThenTheObjects) {
  const RegionWorld world;
  const RegionFiles files(world);
  const std::string output = (files.dir.path() / "whole.png").string();
  const ProgramResult result = Render({files.region, "--objects", files.objects, "-o", output});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  const auto png = tools::ReadIndexedPng(output);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 2048u);
  EXPECT_EQ(png->height, 1536u);
  EXPECT_EQ(png->palette, ExpectedPalette(world));
  Picture expected = testing::ComposeTiles(world.region, 0, 0, 2048, 1536);
  testing::ComposeObjects(expected, world.region, world.bitmaps, world.objects, 0, 0);
  EXPECT_TRUE(png->pixels == expected.pixels);
  // The objects did change the picture, and no name was written.
  EXPECT_FALSE(expected.pixels == testing::ComposeTiles(world.region, 0, 0, 2048, 1536).pixels);
}

TEST(RenderRegion, WithoutObjectsOnlyTheTiles) {
  const RegionWorld world;
  const RegionFiles files(world);
  const std::string output = (files.dir.path() / "ground.png").string();
  ASSERT_EQ(Render({files.region, "--no-objects", "-o", output}).exitCode, 0);
  const auto png = tools::ReadIndexedPng(output);
  ASSERT_TRUE(png);
  EXPECT_TRUE(png->pixels == testing::ComposeTiles(world.region, 0, 0, 2048, 1536).pixels);
}

// Without --objects the library beside the region is used, whatever the case of its name, and
// named; without one the tiles alone are drawn, and said so. The entity naming object 99 is not
// drawn: a warning counts it and points to the check, and the exit code stays 0.
TEST(RenderRegion, TheLibraryBesideTheRegionIsUsedAndNamed) {
  const RegionWorld world;
  const RegionFiles files(world);
  Picture withObjects = testing::ComposeTiles(world.region, 0, 0, 2048, 1536);
  testing::ComposeObjects(withObjects, world.region, world.bitmaps, world.objects, 0, 0);
  const std::vector<std::uint8_t> tilesOnly = testing::ComposeTiles(world.region, 0, 0, 2048, 1536).pixels;
  const std::string lowerCase = (files.dir.path() / "objex.gff").string();
  const std::string warning = files.region +
                              ": warning: 1 of 5 entities not drawn: their object definition or bitmap is "
                              "missing, empty or too large (karst-gff check " +
                              files.region + " names them)";
  struct Case {
    const char* what;
    std::vector<std::string> options;
    std::string libraryName;  // what the library beside the region is called; empty: none
    bool objects;
    std::string message;
  };
  const Case cases[] = {
      {"beside", {}, "OBJEX.GFF", true, "karst-render: objects from " + files.objects + "\n"},
      {"beside, lower case", {}, "objex.gff", true, "karst-render: objects from " + lowerCase + "\n"},
      {"none beside",
       {},
       "",
       false,
       "karst-render: no OBJEX.GFF beside " + files.region + ": drawing the tiles only\n"},
      {"--no-objects", {"--no-objects"}, "OBJEX.GFF", false, ""},
  };
  const std::vector<std::uint8_t> library = testing::ReadFileBytes(files.objects);
  for (const Case& c : cases) {
    std::filesystem::remove(files.objects);
    std::filesystem::remove(lowerCase);
    if (!c.libraryName.empty()) {
      files.dir.Write(c.libraryName, library);
    }
    const std::string output = (files.dir.path() / "whole.png").string();
    std::vector<std::string> arguments{files.region, "-o", output};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = Render(arguments);
    ASSERT_EQ(result.exitCode, 0) << c.what << ": " << result.errorOutput;
    EXPECT_EQ(result.errorOutput, c.message + (c.objects ? "karst-render: " + warning + "\n" : "")) << c.what;
    const auto png = tools::ReadIndexedPng(output);
    ASSERT_TRUE(png) << c.what;
    EXPECT_TRUE(png->pixels == (c.objects ? withObjects.pixels : tilesOnly)) << c.what;
  }
}

TEST(RenderRegion, ErrorsNameTheFileAndTheReason) {
  RegionWorld world;
  const RegionFiles files(world);
  const std::string output = (files.dir.path() / "out.png").string();

  const std::string missing = (files.dir.path() / "RGN99.GFF").string();
  ProgramResult result = Render({missing, "-o", output});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(missing + ": No such file or directory"), std::string::npos) << result.errorOutput;

  world.region.palette.reset();
  const std::string noPalette = files.dir.Write("RGN02.GFF", testing::WriteRegionFile(world.region)).string();
  result = Render({noPalette, "-o", output});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(noPalette + ": no PAL chunk: the region would not load"), std::string::npos)
      << result.errorOutput;

  const std::string notGff = files.dir.Write("RGN03.GFF", std::vector<std::uint8_t>{'N', 'O', 'P', 'E'}).string();
  result = Render({notGff, "-o", output});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(notGff + ": not a GFF container"), std::string::npos) << result.errorOutput;

  // The library given where the region belongs.
  result = Render({files.objects, "-o", output});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(files.objects + ": an object library, not a region"), std::string::npos)
      << result.errorOutput;

  result = Render({files.region, "--objects", files.region, "-o", output});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(files.region + ": no BMP frame set"), std::string::npos) << result.errorOutput;
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST(RenderRegion, ABadViewIsAUsageError) {
  const RegionWorld world;
  const RegionFiles files(world);
  const std::string output = (files.dir.path() / "out.png").string();
  for (const std::string view : {"12", "1,2,3", "x,4", "5,", "99999999999,0"}) {
    const ProgramResult result = Render({files.region, "--view", view, "-o", output});
    EXPECT_EQ(result.exitCode, 2) << view;
  }
  EXPECT_EQ(Render({files.region}).exitCode, 2);  // no output
}

}  // namespace
}  // namespace karst
