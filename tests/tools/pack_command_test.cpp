// karst-gff unpack and pack as programs: a game folder round trip, edits that karst-render then
// draws exactly where they are, and refusals that leave every file as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/common/png_file.h"

namespace karst {
namespace {

namespace fs = std::filesystem;
using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::TempDir;

ProgramResult Gff(const std::vector<std::string>& arguments) {
  return testing::RunProgram(testing::BuiltProgram("karst-gff"), arguments);
}

// Every file under `root` with its bytes.
std::map<std::string, std::vector<std::uint8_t>> FolderSnapshot(const fs::path& root) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), root).generic_string()] = ReadFileBytes(entry.path());
    }
  }
  return files;
}

TEST(PackCommand, AGameFolderPacksBackFileByFile) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string game = (dir.path() / "game").string();
  const std::string unpacked = (dir.path() / "unpacked").string();
  ASSERT_EQ(Gff({"unpack", game, "-o", unpacked}).exitCode, 0);
  const ProgramResult packed = Gff({"pack", unpacked, "-o", (dir.path() / "out").string()});
  ASSERT_EQ(packed.exitCode, 0) << packed.errorOutput;
  const auto original = FolderSnapshot(dir.path() / "game");
  EXPECT_EQ(FolderSnapshot(dir.path() / "out"), original);
  // An unchanged unpack may be unpacked over.
  EXPECT_EQ(Gff({"unpack", game, "-o", unpacked}).exitCode, 0);
  EXPECT_TRUE(fs::exists(dir.path() / "unpacked" / "RGN01" / "frames"));
  EXPECT_TRUE(fs::exists(dir.path() / "unpacked" / "OBJEX" / "objects.json"));
}

TEST(PackCommand, RefusalsLeaveEveryFileAsItWas) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string region = (dir.path() / "game" / "RGN01.GFF").string();
  const std::string folder = (dir.path() / "rgn01").string();
  ASSERT_EQ(Gff({"unpack", region, "-o", folder}).exitCode, 0);
  dir.Write("rgn01/name.txt", std::vector<std::uint8_t>{'N', 'e', 'w'});
  dir.Write("notes.txt", std::vector<std::uint8_t>{'x'});
  struct Refusal {
    std::vector<std::string> arguments;
    const char* says;
  };
  const std::vector<Refusal> refusals = {
      {{"unpack", region, "-o", folder}, "files were changed (name.txt)"},
      {{"unpack", region, "-o", dir.path().string()}, "no manifest.json"},
      {{"pack", folder, "-o", region}, "exists; --replace keeps it"},
      {{"pack", (dir.path() / "game").string(), "-o", (dir.path() / "x.GFF").string()}, "not a folder that"},
  };
  const auto before = FolderSnapshot(dir.path());
  for (const Refusal& refusal : refusals) {
    const ProgramResult result = Gff(refusal.arguments);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errorOutput.find(refusal.says), std::string::npos) << result.errorOutput;
    EXPECT_EQ(FolderSnapshot(dir.path()), before);
  }
  // --replace keeps every file it replaces under a name never used before.
  const std::vector<std::uint8_t> original = ReadFileBytes(region);
  ASSERT_EQ(Gff({"pack", folder, "-o", region, "--replace"}).exitCode, 0);
  ASSERT_EQ(Gff({"pack", folder, "-o", region, "--replace"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(region + ".orig"), original);
  EXPECT_EQ(ReadFileBytes(region + ".orig.2"), ReadFileBytes(region));
  EXPECT_NE(ReadFileBytes(region), original);
}

// POSIX only: symbolic links need privileges on Windows.
#ifndef _WIN32
TEST(PackCommand, LinksLeadingOutOfTheFolderAreRefused) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string folder = (dir.path() / "rgn01").string();
  ASSERT_EQ(Gff({"unpack", (dir.path() / "game" / "RGN01.GFF").string(), "-o", folder}).exitCode, 0);
  fs::remove(dir.path() / "rgn01" / "name.txt");
  dir.Write("outside.txt", std::vector<std::uint8_t>{'x'});
  fs::create_symlink(dir.path() / "outside.txt", dir.path() / "rgn01" / "name.txt");
  const ProgramResult result = Gff({"pack", folder, "-o", (dir.path() / "x.GFF").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("name.txt: leads out of the folder through a link"), std::string::npos)
      << result.errorOutput;
  EXPECT_FALSE(fs::exists(dir.path() / "x.GFF"));
}
#endif

testing::RegionSpec DrawnRegion() {
  testing::RegionSpec region;
  region.palette = std::vector<std::uint8_t>(768);
  for (std::size_t i = 0; i < 768; ++i) {
    (*region.palette)[i] = static_cast<std::uint8_t>((i * 37 / 3 + i / 3) & 63);
  }
  region.tiles = {testing::PatternTile(1), testing::PatternTile(90)};
  region.map = std::vector<std::uint8_t>(kMapBytes);
  for (std::size_t i = 0; i < kMapBytes; ++i) {
    (*region.map)[i] = static_cast<std::uint8_t>((i / 3) % 2);
  }
  region.name = "Fen";
  region.entities = {{{100, 100, 0, 0, 3}, {400, 300, 2, 0x80, 3}}};
  return region;
}

authoring::IndexedImage Sprite(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  authoring::IndexedImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = i % 5 == 0 ? 0 : static_cast<std::uint8_t>(seed + i);
  }
  return image;
}

// The library with its "BMP " record indexed.
std::vector<std::uint8_t> IndexedLibrary(const testing::BitmapRecord& bitmap, const testing::ObjectRecord& object) {
  const auto frames = authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(bitmap.image)});
  return authoring::WriteContainer(
      {{kTagBmp, {{bitmap.number, *frames}}, true}, {kTagOjff, {{object.number, testing::ObjectPayload(object)}}}});
}

std::vector<std::uint8_t> Rendered(const TempDir& dir, const fs::path& region) {
  const std::string output = (dir.path() / "render.png").string();
  const ProgramResult result =
      testing::RunProgram(testing::BuiltProgram("karst-render"), {"region", region.string(), "-o", output});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  const auto png = tools::ReadIndexedPng(output);
  return png ? png->pixels : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> Composed(const testing::RegionSpec& region, const testing::BitmapRecord& bitmap,
                                   const testing::ObjectRecord& object) {
  testing::Picture picture = testing::ComposeTiles(region, 0, 0, kRegionWidth, kRegionHeight);
  testing::ComposeObjects(picture, region, {bitmap}, {object}, 0, 0);
  return picture.pixels;
}

// A picture written over `path` with the palette (and transparency) the one there has.
void Repaint(const fs::path& path, const authoring::IndexedImage& image, bool clearZero) {
  const auto old = tools::ReadIndexedPng(path.string());
  ASSERT_TRUE(old.has_value());
  fs::remove(path);
  ASSERT_EQ(tools::WriteIndexedPng(path.string(), image.width, image.height, image.pixels, old->palette, 1,
                                   clearZero ? tools::PngTransparency::kIndexZero : tools::PngTransparency::kOpaque),
            "");
}

TEST(PackCommand, AnEditedTileAndSpriteAreDrawnExactlyWhereTheyStand) {
  TempDir dir;
  testing::RegionSpec region = DrawnRegion();
  testing::BitmapRecord bitmap{7, Sprite(8, 12, 20)};
  const testing::ObjectRecord object{3, 4, 10, 7};
  fs::create_directories(dir.path() / "game");
  const fs::path regionFile = dir.Write("game/RGN01.GFF", testing::WriteRegionFile(region));
  dir.Write("game/OBJEX.GFF", IndexedLibrary(bitmap, object));
  ASSERT_EQ(Composed(region, bitmap, object), Rendered(dir, regionFile));
  ASSERT_EQ(Gff({"unpack", (dir.path() / "game").string(), "-o", (dir.path() / "u").string(), "--palette",
                 regionFile.string()})
                .exitCode,
            0);

  region.tiles[1] = testing::PatternTile(140);
  bitmap.image = Sprite(14, 9, 60);
  Repaint(dir.path() / "u" / "RGN01" / "frames" / "TILE-101-0.png", region.tiles[1], false);
  Repaint(dir.path() / "u" / "OBJEX" / "frames" / "BMP-7-0.png", bitmap.image, true);
  const ProgramResult packed = Gff({"pack", (dir.path() / "u").string(), "-o", (dir.path() / "new").string()});
  ASSERT_EQ(packed.exitCode, 0) << packed.errorOutput;
  EXPECT_NE(packed.output.find("TILE-101: from frames/TILE-101-0.png"), std::string::npos) << packed.output;
  EXPECT_EQ(Composed(region, bitmap, object), Rendered(dir, dir.path() / "new" / "RGN01.GFF"));
  const ProgramResult check = Gff({"check", (dir.path() / "new").string()});
  EXPECT_EQ(check.exitCode, 0) << check.output << check.errorOutput;
}

// A library unpacked without a region's colours has greyscale pictures, and a line says which
// option colours them; with --palette no such line.
TEST(UnpackCommand, GreyscalePicturesNameThePaletteThatColoursThem) {
  TempDir dir;
  const fs::path game = dir.path() / "game";
  testing::WriteSampleWorld(game);
  const std::string note = "note: " + (game / "OBJEX.GFF").string() +
                           ": the pictures are greyscale; unpack again with --palette " +
                           (game / "RGN01.GFF").string() + " to have them in that region's colours\n";
  struct Case {
    std::vector<std::string> arguments;
    bool noted;
  };
  const std::vector<Case> cases = {
      {{"unpack", game.string(), "-o", (dir.path() / "all").string()}, true},
      {{"unpack", (game / "OBJEX.GFF").string(), "-o", (dir.path() / "objex").string()}, true},
      {{"unpack", game.string(), "-o", (dir.path() / "coloured").string(), "--palette", (game / "RGN02.GFF").string()},
       false},
  };
  for (const Case& c : cases) {
    const ProgramResult result = Gff(c.arguments);
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_EQ(result.output.find(note) != std::string::npos, c.noted) << result.output;
    EXPECT_EQ(result.output.find("greyscale") != std::string::npos, c.noted) << result.output;
  }
}

}  // namespace
}  // namespace karst
