// karst-render all and the picture options, run as programs on the sample world: every good
// region gives the same picture as `karst-render region`, a broken one is reported and skipped,
// and --scale enlarges pixel for pixel.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/sample_world.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using karst::testing::FileNamesIn;
using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;
using karst::testing::TempDir;

// The sample world, plus RGN05.GFF: a container without a map, which the viewer turns away.
std::vector<std::string> WriteWorld(const TempDir& dir) {
  std::vector<std::string> regions;
  for (const authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    dir.Write(file.name, file.bytes);
    if (file.name != authoring::kObjectLibraryFileName) {
      regions.push_back(file.name.substr(0, file.name.size() - 4));
    }
  }
  dir.Write("RGN05.GFF", authoring::WriteContainer({{kTagPal, {{0, std::vector<std::uint8_t>(768, 7)}}}}));
  return regions;
}

tools::IndexedPng ReadPng(const std::filesystem::path& path) {
  const std::optional<tools::IndexedPng> png = tools::ReadIndexedPng(path.string());
  EXPECT_TRUE(png) << path;
  return png.value_or(tools::IndexedPng{});
}

void ExpectSamePicture(const std::filesystem::path& actual, const std::filesystem::path& expected) {
  const tools::IndexedPng a = ReadPng(actual);
  const tools::IndexedPng b = ReadPng(expected);
  EXPECT_EQ(a.width, b.width) << actual;
  EXPECT_EQ(a.height, b.height) << actual;
  EXPECT_TRUE(a.pixels == b.pixels) << actual;
  EXPECT_EQ(a.palette, b.palette) << actual;
}

TEST(RenderAll, WritesEveryGoodRegionAsRegionDoesAndReportsTheBrokenOne) {
  TempDir dir;
  const std::vector<std::string> regions = WriteWorld(dir);
  const auto output = dir.path() / "pictures";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", dir.path().string(), "-o", output.string()});
  // Only the broken region makes it fail.
  EXPECT_EQ(result.exitCode, 1) << result.errorOutput;
  std::set<std::string> expectedFiles;
  for (const std::string& region : regions) {
    expectedFiles.insert(region + ".png");
  }
  EXPECT_EQ(FileNamesIn(output), expectedFiles);

  const auto single = dir.path() / "single.png";
  for (const std::string& region : regions) {
    const auto input = dir.path() / (region + ".GFF");
    const ProgramResult one =
        RunProgram(karst::testing::BuiltProgram("karst-render"),
                   {"region", input.string(), "--objects", (dir.path() / "OBJEX.GFF").string(), "-o", single.string()});
    ASSERT_EQ(one.exitCode, 0) << one.errorOutput;
    ExpectSamePicture(output / (region + ".png"), single);
    // Plain lines when standard error is no terminal, in the regions' order.
    EXPECT_NE(result.output.find("rendered " + region + ".GFF -> " + (output / (region + ".png")).string() + "\n"),
              std::string::npos)
        << result.output;
  }
  const std::string broken = (dir.path() / "RGN05.GFF").string();
  const std::string reason = broken + ": no MAP chunk: the region would not load";
  EXPECT_NE(result.errorOutput.find("karst-render: " + reason + "\n"), std::string::npos) << result.errorOutput;
  EXPECT_NE(result.errorOutput.find("karst-render: 1 region failed:\n  " + reason + "\n"), std::string::npos)
      << result.errorOutput;
  EXPECT_NE(result.output.find("rendered 4 of 5 regions into " + output.string()), std::string::npos);
}

TEST(RenderAll, PicturesDoNotDependOnTheNumberOfThreads) {
  TempDir dir;
  const std::vector<std::string> regions = WriteWorld(dir);
  const auto one = dir.path() / "one";
  const auto two = dir.path() / "two";
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"all", dir.path().string(), "-o", one.string(), "--jobs", "1"})
                .exitCode,
            1);
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"all", dir.path().string(), "-o", two.string(), "-j", "2"})
                .exitCode,
            1);
  for (const std::string& region : regions) {
    EXPECT_TRUE(ReadFileBytes(one / (region + ".png")) == ReadFileBytes(two / (region + ".png"))) << region;
  }
}

TEST(RenderAll, WithoutObjectsOrWithoutALibraryDrawsTheTilesOnly) {
  TempDir dir;
  const std::vector<std::string> regions = WriteWorld(dir);
  const auto region = dir.path() / (regions.front() + ".GFF");
  const auto tilesOnly = dir.path() / "tiles.png";
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", region.string(), "--no-objects", "-o", tilesOnly.string()})
                .exitCode,
            0);

  const auto noObjects = dir.path() / "no-objects";
  RunProgram(karst::testing::BuiltProgram("karst-render"),
             {"all", dir.path().string(), "-o", noObjects.string(), "--no-objects"});
  ExpectSamePicture(noObjects / (regions.front() + ".png"), tilesOnly);

  // The objects do show otherwise: the picture with them differs.
  const auto withObjects = dir.path() / "objects.png";
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", region.string(), "--objects", (dir.path() / "OBJEX.GFF").string(), "-o",
                        withObjects.string()})
                .exitCode,
            0);
  EXPECT_FALSE(ReadPng(withObjects).pixels == ReadPng(tilesOnly).pixels);

  // The library is found whatever the case of its name.
  std::filesystem::rename(dir.path() / "OBJEX.GFF", dir.path() / "objex.gff");
  const auto lowerCase = dir.path() / "lower-case";
  RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", dir.path().string(), "-o", lowerCase.string()});
  ExpectSamePicture(lowerCase / (regions.front() + ".png"), withObjects);

  // A library with a bitmap but none of the objects: nothing is drawn, each region says so.
  std::filesystem::remove(dir.path() / "objex.gff");
  dir.Write("OBJEX.GFF",
            authoring::WriteContainer(
                {{kTagBmp, {{9999, *authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(2, 2)})}}}}));
  const auto noDefinitions = dir.path() / "no-definitions";
  const ProgramResult warned = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                          {"all", dir.path().string(), "-o", noDefinitions.string()});
  ExpectSamePicture(noDefinitions / (regions.front() + ".png"), tilesOnly);
  EXPECT_NE(warned.errorOutput.find(region.string() + ": warning: "), std::string::npos) << warned.errorOutput;
  EXPECT_NE(
      warned.errorOutput.find("entities not drawn: their object definition or bitmap is missing, empty or too large "
                              "(karst-gff check " +
                              region.string() + " names them)"),
      std::string::npos)
      << warned.errorOutput;

  // A folder without its library: said once, and the regions are drawn without objects.
  std::filesystem::remove(dir.path() / "OBJEX.GFF");
  const auto noLibrary = dir.path() / "no-library";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", dir.path().string(), "-o", noLibrary.string()});
  EXPECT_EQ(result.exitCode, 1);  // RGN05.GFF still
  EXPECT_NE(result.errorOutput.find((dir.path() / "OBJEX.GFF").string() +
                                    ": No such file or directory: the regions are drawn without objects"),
            std::string::npos)
      << result.errorOutput;
  ExpectSamePicture(noLibrary / (regions.front() + ".png"), tilesOnly);
}

TEST(RenderAll, AFolderOfGoodRegionsSucceeds) {
  TempDir dir;
  WriteWorld(dir);
  std::filesystem::remove(dir.path() / "RGN05.GFF");
  const auto output = dir.path() / "out";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", dir.path().string(), "-o", output.string()});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(result.errorOutput, "");
  EXPECT_EQ(FileNamesIn(output).size(), 4u);
}

TEST(RenderAll, DecoderLinesAreNamedWithTheirRegionOnce) {
  TempDir dir;
  authoring::IndexedImage tile{16, 16, std::vector<std::uint8_t>(256, 4)};
  const std::vector<std::uint8_t> frame = *authoring::EncodeNrmlFrame(tile);
  dir.Write("RGN01.GFF", authoring::WriteContainer({
                             {kTagPal, {{0, std::vector<std::uint8_t>(768, 7)}}},
                             {kTagTile, {{5, *authoring::WriteFrameSetPayload({frame, frame})}}},
                             {kTagMap, {{0, std::vector<std::uint8_t>(kMapBytes, 0)}}},
                         }));
  const auto output = dir.path() / "out";
  const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                          {"all", dir.path().string(), "-o", output.string(), "--no-objects"});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  // The tile strip sends its line once for each of the tile's 16 rows.
  EXPECT_NE(result.output.find((dir.path() / "RGN01.GFF").string() + ": Tile with more than one frame! (16 times)\n"),
            std::string::npos)
      << result.output;
  const tools::IndexedPng png = ReadPng(output / "RGN01.png");
  EXPECT_EQ(png.pixels, std::vector<std::uint8_t>(std::size_t{kRegionWidth} * kRegionHeight, 4));
  // 6-bit 7 becomes 28 in every colour.
  EXPECT_EQ(png.palette[0], 28);
  EXPECT_EQ(png.palette[3 * 255 + 2], 28);
}

TEST(RenderScale, EveryPixelBecomesASquare) {
  TempDir dir;
  const std::vector<std::string> regions = WriteWorld(dir);
  const auto region = (dir.path() / (regions.back() + ".GFF")).string();
  const auto objects = (dir.path() / "OBJEX.GFF").string();
  const auto plain = dir.path() / "plain.png";
  const auto scaled = dir.path() / "scaled.png";
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", region, "--objects", objects, "--view", "100,50", "-o", plain.string()})
                .exitCode,
            0);
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"region", region, "--objects", objects, "--view",
                                                                      "100,50", "--scale", "3", "-o", scaled.string()})
                .exitCode,
            0);
  const tools::IndexedPng small = ReadPng(plain);
  const tools::IndexedPng big = ReadPng(scaled);
  ASSERT_EQ(small.width, 640u);
  ASSERT_EQ(small.height, 480u);
  ASSERT_EQ(big.width, 3 * 640u);
  ASSERT_EQ(big.height, 3 * 480u);
  EXPECT_EQ(big.palette, small.palette);
  std::size_t mismatches = 0;
  for (std::uint32_t y = 0; y < big.height; ++y) {
    for (std::uint32_t x = 0; x < big.width; ++x) {
      if (big.pixels[std::size_t{y} * big.width + x] != small.pixels[std::size_t{y / 3} * small.width + x / 3]) {
        ++mismatches;
      }
    }
  }
  EXPECT_EQ(mismatches, 0u);

  // Scale 1 is the picture as it is; `all` scales the same way.
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"region", region, "--objects", objects, "--view",
                                                                      "100,50", "--scale", "1", "-o", scaled.string()})
                .exitCode,
            0);
  EXPECT_TRUE(ReadFileBytes(scaled) == ReadFileBytes(plain));
  const auto whole = dir.path() / "whole.png";
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", region, "--objects", objects, "-o", whole.string()})
                .exitCode,
            0);
  const auto twice = dir.path() / "twice";
  RunProgram(karst::testing::BuiltProgram("karst-render"),
             {"all", dir.path().string(), "-o", twice.string(), "--scale", "2"});
  const tools::IndexedPng original = ReadPng(whole);
  const tools::IndexedPng doubled = ReadPng(twice / (regions.back() + ".png"));
  ASSERT_EQ(doubled.width, 4096u);
  ASSERT_EQ(doubled.height, 3072u);
  for (const auto& [x, y] : {std::pair<std::uint32_t, std::uint32_t>{0, 0}, {4095, 3071}, {1001, 2000}, {3, 7}}) {
    EXPECT_EQ(doubled.pixels[std::size_t{y} * doubled.width + x],
              original.pixels[std::size_t{y / 2} * original.width + x / 2])
        << x << "," << y;
  }
}

TEST(RenderAll, BadUsageExitsTwoAndWritesNothing) {
  TempDir dir;
  WriteWorld(dir);
  const std::string folder = dir.path().string();
  const std::string out = (dir.path() / "out").string();
  const std::vector<std::vector<std::string>> usages = {
      {"all", folder},
      {"all", "-o", out},
      {"all", folder, "-o", out, "--scale", "0"},
      {"all", folder, "-o", out, "--scale", "17"},
      {"all", folder, "-o", out, "--jobs", "0"},
      {"all", folder, "-o", out, "--bogus"},
      {"region", (dir.path() / "RGN01.GFF").string(), "-o", out, "--scale", "17"},
      {"region", (dir.path() / "RGN01.GFF").string(), "-o", out, "--no-objects", "--objects",
       (dir.path() / "OBJEX.GFF").string()},
  };
  for (const auto& usage : usages) {
    EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), usage).exitCode, 2) << usage.back();
  }
  EXPECT_FALSE(std::filesystem::exists(out));

  // Just fits: scale 16 is accepted (on a view, to keep the picture small).
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", (dir.path() / "RGN01.GFF").string(), "--view", "0,0", "--scale", "16", "-o", out})
                .exitCode,
            0);

  const auto missing = dir.path() / "nowhere";
  const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                          {"all", missing.string(), "-o", (dir.path() / "o2").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-render: " + missing.string() + ": No such file or directory"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "o2"));

  const ProgramResult help = RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("karst-render all ~/game -o pictures"), std::string::npos) << help.output;
}

}  // namespace
}  // namespace karst
