// karst-render frames, run as a program on containers written by authoring/: every frame comes
// back from its PNG pixel for pixel.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/common/png_file.h"

namespace karst {
namespace {

using authoring::IndexedImage;
using karst::testing::ProgramResult;
using karst::testing::RunProgram;
using karst::testing::TempDir;

// Values stepping through the palette, every seventh one index 0.
IndexedImage Gradient(std::uint32_t width, std::uint32_t height, std::uint32_t step) {
  IndexedImage image{width, height, {}};
  for (std::uint32_t i = 0; i < width * height; ++i) {
    const std::uint32_t value = i * step % 256;
    image.pixels.push_back(static_cast<std::uint8_t>(value % 7 == 0 ? 0 : value));
  }
  return image;
}

std::vector<std::uint8_t> FrameSetOf(const std::vector<std::vector<std::uint8_t>>& frames) {
  return *authoring::WriteFrameSetPayload(frames);
}

std::set<std::string> FilesIn(const std::filesystem::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

void ExpectPng(const std::filesystem::path& path, const IndexedImage& image) {
  const auto png = tools::ReadIndexedPng(path.string());
  ASSERT_TRUE(png) << path;
  EXPECT_EQ(png->width, image.width) << path;
  EXPECT_EQ(png->height, image.height) << path;
  EXPECT_EQ(png->pixels, image.pixels) << path;
  EXPECT_EQ(png->palette, tools::GreyPalette()) << path;
  // An 8-bit palette image: IHDR bit depth 8 (byte 24) and colour type 3 (byte 25).
  const std::vector<std::uint8_t> bytes = karst::testing::ReadFileBytes(path);
  ASSERT_GT(bytes.size(), 25u);
  EXPECT_EQ(bytes[24], 8);
  EXPECT_EQ(bytes[25], 3);
}

struct World {
  IndexedImage tile = Gradient(16, 16, 3);
  IndexedImage tileTwo = Gradient(16, 16, 5);
  IndexedImage bitmap = Gradient(40, 30, 11);
  IndexedImage bitmapSecond = Gradient(7, 3, 1);
  IndexedImage compressed = Gradient(64, 9, 2);

  std::vector<std::uint8_t> Container() const {
    const std::vector<std::uint8_t> noPixels = Bytes({0x00, 0x00, 0x04, 0x00, 0xFF});  // 0 x 4
    return authoring::WriteContainer({
        {kTagPal, {{0, std::vector<std::uint8_t>(768, 1)}}},
        {kTagTile,
         {{3, FrameSetOf({*authoring::EncodeNrmlFrame(tile)})},
          {4, FrameSetOf({*authoring::EncodePlanFrame(tileTwo)})}}},
        {kTagBmp,
         {{7, FrameSetOf({*authoring::EncodePlnrFrame(bitmap), *authoring::EncodeNrmlFrame(bitmapSecond), noPixels})}}},
        {kTagCbmp, {{12, FrameSetOf({*authoring::EncodePlnrFrame(compressed)})}}},
    });
  }

  static std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> bytes;
    for (const int value : values) {
      bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
  }
};

TEST(RenderFrames, EveryFrameBecomesAnIndexedPng) {
  TempDir dir;
  const World world;
  const auto input = dir.Write("OBJEX.GFF", world.Container());
  const auto output = dir.path() / "out";
  const ProgramResult result = RunProgram(KARST_RENDER_PATH, {"frames", input.string(), "-o", output.string()});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(FilesIn(output),
            (std::set<std::string>{"TILE-3-0.png", "TILE-4-0.png", "BMP-7-0.png", "BMP-7-1.png", "CBMP-12-0.png"}));
  ExpectPng(output / "TILE-3-0.png", world.tile);
  ExpectPng(output / "TILE-4-0.png", world.tileTwo);
  ExpectPng(output / "BMP-7-0.png", world.bitmap);
  ExpectPng(output / "BMP-7-1.png", world.bitmapSecond);
  ExpectPng(output / "CBMP-12-0.png", world.compressed);
  // The pixel-less frame is named, with the file it came from.
  EXPECT_NE(result.errorOutput.find(input.string() + ": BMP-7-2: no pixels (0 x 4), skipped"), std::string::npos)
      << result.errorOutput;
  EXPECT_NE(result.output.find("5 frames written"), std::string::npos) << result.output;
}

TEST(RenderFrames, ChunkBeyondTheFileEndFailsButTheOthersAreWritten) {
  TempDir dir;
  const World world;
  std::vector<std::uint8_t> bytes = world.Container();
  bytes.resize(bytes.size() - 3);  // cuts the CBMP payload, the last one
  const auto input = dir.Write("CUT.GFF", bytes);
  const auto output = dir.path() / "out";
  const ProgramResult result = RunProgram(KARST_RENDER_PATH, {"frames", input.string(), "-o", output.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("CBMP-12: payload lies beyond the end of the file"), std::string::npos)
      << result.errorOutput;
  EXPECT_EQ(FilesIn(output).size(), 4u);
  ExpectPng(output / "BMP-7-0.png", world.bitmap);
}

TEST(RenderFrames, UnreadableInputsFailNamingTheFile) {
  TempDir dir;
  const auto missing = dir.path() / "MISSING.GFF";
  ProgramResult result = RunProgram(KARST_RENDER_PATH, {"frames", missing.string(), "-o", (dir.path() / "o").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-render: " + missing.string() + ": "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "o"));

  const auto notGff = dir.Write("NOT.GFF", std::vector<std::uint8_t>{'G', 'F', 'F', 'X', 0, 0, 0, 0});
  result = RunProgram(KARST_RENDER_PATH, {"frames", notGff.string(), "-o", (dir.path() / "o").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-render: " + notGff.string() + ": not a GFF container"), std::string::npos);
}

TEST(RenderFrames, UnwritableOutputFails) {
  TempDir dir;
  const auto input = dir.Write("OBJEX.GFF", World().Container());
  // The output "directory" is a file.
  const auto blocker = dir.Write("blocker", std::vector<std::uint8_t>{1});
  const ProgramResult result = RunProgram(KARST_RENDER_PATH, {"frames", input.string(), "-o", blocker.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(blocker.string()), std::string::npos) << result.errorOutput;
}

TEST(RenderFrames, BadUsageExitsWithTwoAndHelpShowsExamples) {
  EXPECT_EQ(RunProgram(KARST_RENDER_PATH, {}).exitCode, 2);
  EXPECT_EQ(RunProgram(KARST_RENDER_PATH, {"frames"}).exitCode, 2);
  EXPECT_EQ(RunProgram(KARST_RENDER_PATH, {"frames", "A.GFF"}).exitCode, 2);
  EXPECT_EQ(RunProgram(KARST_RENDER_PATH, {"frames", "A.GFF", "-o"}).exitCode, 2);
  EXPECT_EQ(RunProgram(KARST_RENDER_PATH, {"pictures", "A.GFF"}).exitCode, 2);
  const ProgramResult help = RunProgram(KARST_RENDER_PATH, {"frames", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("Examples:"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("karst-render frames OBJEX.GFF -o"), std::string::npos) << help.output;
}

}  // namespace
}  // namespace karst
