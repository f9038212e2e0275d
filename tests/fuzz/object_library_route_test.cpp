// The object library handed to the display already loaded (the in-memory route of the compose
// fuzz target) gives exactly what loading it from its file gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "data/object_library.h"
#include "display/display_surface.h"
#include "gff/format.h"
#include "gff/gff_file.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using authoring::ChunkTypeSpec;
using Bytes = std::vector<std::uint8_t>;

Bytes FrameSetOf(std::uint32_t width, std::uint32_t height, std::uint8_t first) {
  authoring::IndexedImage image{width, height, Bytes(width * height)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = static_cast<std::uint8_t>(first + i % 7);
  }
  return authoring::WriteFrameSetPayload({authoring::EncodePlanFrame(image).value_or(Bytes{})}).value_or(Bytes{});
}

// OJFF 3 names BMP 7 (12 x 9); BMP 8 has no frames and gets no surface; CBMP 7 is never drawn.
Bytes Library() {
  const Bytes definition{0, 0, 4, 0, 8, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0};
  return authoring::WriteContainer({
      ChunkTypeSpec{kTagOjff, {{3, definition}}, false, 0},
      ChunkTypeSpec{
          kTagBmp, {{7, FrameSetOf(12, 9, 1)}, {8, authoring::WriteFrameSetPayload({}).value_or(Bytes{})}}, false, 0},
      ChunkTypeSpec{kTagCbmp, {{7, FrameSetOf(3, 3, 9)}}, false, 0},
  });
}

std::unique_ptr<ObjectLibrary> LoadedFromBytes(const Bytes& bytes) {
  GffFile file;
  EXPECT_TRUE(file.OpenBytes(bytes, LoadReport()));
  return LoadObjectLibrary(file, LoadReport());
}

class Headless {
 public:
  Headless() { EXPECT_EQ(display.InitDirectDraw(), 1); }
  DisplaySurface display{nullptr, 480, 640, 8, 0};
};

TEST(UseObjectLibrary, GivesTheSurfacesThatLoadingTheFileGives) {
  const testing::TempDir dir;
  const Bytes bytes = Library();
  Headless fromFile;
  Headless fromBytes;
  ASSERT_EQ(fromFile.display.LoadObjects(dir.Write("OBJEX.GFF", bytes).string()), 1);
  ASSERT_EQ(fromBytes.display.UseObjectLibrary(LoadedFromBytes(bytes)), 1);

  ASSERT_EQ(fromBytes.display.objectSurfaces.size(), 2u);
  ASSERT_EQ(fromFile.display.objectSurfaces.size(), 2u);
  EXPECT_EQ(fromBytes.display.objectSurfaces.at(8), nullptr);
  EXPECT_EQ(fromFile.display.objectSurfaces.at(8), nullptr);
  const platform::Surface& made = *fromBytes.display.objectSurfaces.at(7);
  const platform::Surface& loaded = *fromFile.display.objectSurfaces.at(7);
  ASSERT_EQ(made.width(), 14);
  ASSERT_EQ(made.height(), 11);
  ASSERT_EQ(loaded.width(), 14);
  ASSERT_EQ(loaded.height(), 11);
  for (std::int32_t y = 0; y < 9; ++y) {
    for (std::int32_t x = 0; x < 12; ++x) {
      ASSERT_EQ(made.pixels().at(x, y), static_cast<std::uint8_t>(1 + (y * 12 + x) % 7)) << x << "," << y;
      ASSERT_EQ(loaded.pixels().at(x, y), made.pixels().at(x, y)) << x << "," << y;
    }
  }
  ASSERT_NE(fromBytes.display.objects, nullptr);
  EXPECT_EQ(fromBytes.display.objects->objectDefs.size(), 1u);
  EXPECT_EQ(fromBytes.display.objects->cbmpSets.size(), 1u);
}

TEST(UseObjectLibrary, NoLibraryFailsAndDropsTheOldSurfaces) {
  Headless headless;
  ASSERT_EQ(headless.display.UseObjectLibrary(LoadedFromBytes(Library())), 1);
  EXPECT_EQ(headless.display.UseObjectLibrary(nullptr), 0);
  EXPECT_EQ(headless.display.objects, nullptr);
  EXPECT_TRUE(headless.display.objectSurfaces.empty());
}

TEST(UseObjectLibrary, ALibraryWithoutBitmapsFailsButIsKept) {
  Headless headless;
  const Bytes onlyDefinitions = authoring::WriteContainer(
      {ChunkTypeSpec{kTagOjff, {{3, Bytes{0, 0, 4, 0, 8, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0}}}, false, 0}});
  EXPECT_EQ(headless.display.UseObjectLibrary(LoadedFromBytes(onlyDefinitions)), 0);
  ASSERT_NE(headless.display.objects, nullptr);
  EXPECT_EQ(headless.display.objects->objectDefs.size(), 1u);
  EXPECT_TRUE(headless.display.objectSurfaces.empty());
}

}  // namespace
}  // namespace karst
