// karst-render frames, run as a program on containers written by authoring/: every frame comes
// back from its PNG pixel for pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using authoring::IndexedImage;
using karst::testing::FileNamesIn;
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

std::array<std::uint8_t, 256> Opaque() {
  std::array<std::uint8_t, 256> alpha{};
  alpha.fill(255);
  return alpha;
}

std::vector<std::uint8_t> FrameSetOf(const std::vector<std::vector<std::uint8_t>>& frames) {
  return *authoring::WriteFrameSetPayload(frames);
}

void ExpectPng(const std::filesystem::path& path, const IndexedImage& image) {
  const auto png = tools::ReadIndexedPng(path.string());
  ASSERT_TRUE(png) << path;
  EXPECT_EQ(png->width, image.width) << path;
  EXPECT_EQ(png->height, image.height) << path;
  EXPECT_EQ(png->pixels, image.pixels) << path;
  EXPECT_EQ(png->palette, tools::GreyPalette()) << path;
  EXPECT_EQ(png->alpha, Opaque()) << path;
  // An 8-bit palette image: IHDR bit depth 8 (byte 24) and colour type 3 (byte 25).
  const std::vector<std::uint8_t> bytes = karst::testing::ReadFileBytes(path);
  ASSERT_GT(bytes.size(), 25u);
  EXPECT_EQ(bytes[24], 8);
  EXPECT_EQ(bytes[25], 3);
}

struct LibraryWorld {
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
         {{7, FrameSetOf({*authoring::EncodePlnrFrame(bitmap), *authoring::EncodeNrmlFrame(bitmapSecond), noPixels})},
          {9, FrameSetOf({noPixels})}}},
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
  const LibraryWorld world;
  const auto input = dir.Write("OBJEX.GFF", world.Container());
  const auto output = dir.path() / "out";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", input.string(), "-o", output.string()});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(FileNamesIn(output),
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
  const LibraryWorld world;
  std::vector<std::uint8_t> bytes = world.Container();
  bytes.resize(bytes.size() - 3);  // cuts the CBMP payload, the last one
  const auto input = dir.Write("CUT.GFF", bytes);
  const auto output = dir.path() / "out";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", input.string(), "-o", output.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("CBMP-12: payload lies beyond the end of the file"), std::string::npos)
      << result.errorOutput;
  EXPECT_EQ(FileNamesIn(output).size(), 4u);
  ExpectPng(output / "BMP-7-0.png", world.bitmap);
}

// What the end of the file hides is said as `karst-gff info` says it, and the chunks it cuts
// short are counted in the summary.
TEST(RenderFrames, AContainerCutShortIsSaidAndItsUnreadChunksCounted) {
  TempDir dir;
  const LibraryWorld world;
  std::vector<std::uint8_t> bytes = world.Container();
  // One byte more than the last payload, CBMP 12's: BMP 9's payload is cut as well.
  bytes.resize(bytes.size() - FrameSetOf({*authoring::EncodePlnrFrame(world.compressed)}).size() - 1);
  const auto cut = dir.Write("CUT.GFF", bytes);
  ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                    {"frames", cut.string(), "-o", (dir.path() / "a").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find("4 frames written to " + (dir.path() / "a").string() +
                               "; 2 chunks not read, as the file ends before their payload does\n"),
            std::string::npos)
      << result.output;

  // The writer puts the index chunk of an indexed record last in the file.
  bytes = authoring::WriteContainer({{kTagBmp,
                                      {{7, FrameSetOf({*authoring::EncodeNrmlFrame(world.bitmap)})},
                                       {8, FrameSetOf({*authoring::EncodeNrmlFrame(world.bitmapSecond)})}},
                                      true}});
  bytes.pop_back();
  const auto cutIndex = dir.Write("CUTINDEX.GFF", bytes);
  result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                      {"frames", cutIndex.string(), "-o", (dir.path() / "b").string()});
  EXPECT_NE(result.errorOutput.find("karst-render: " + cutIndex.string() +
                                    ": warning: index chunk GFFI 0 ends 1 byte past the end of the file"),
            std::string::npos)
      << result.errorOutput;
}

TEST(RenderFrames, UnreadableInputsFailNamingTheFile) {
  TempDir dir;
  const auto missing = dir.path() / "MISSING.GFF";
  ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                    {"frames", missing.string(), "-o", (dir.path() / "o").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-render: " + missing.string() + ": "), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "o"));

  const auto notGff = dir.Write("NOT.GFF", std::vector<std::uint8_t>{'G', 'F', 'F', 'X', 0, 0, 0, 0});
  result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                      {"frames", notGff.string(), "-o", (dir.path() / "o").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-render: " + notGff.string() + ": not a GFF container"), std::string::npos);
}

TEST(RenderFrames, UnwritableOutputFails) {
  TempDir dir;
  const auto input = dir.Write("OBJEX.GFF", LibraryWorld().Container());
  // The output "directory" is a file.
  const auto blocker = dir.Write("blocker", std::vector<std::uint8_t>{1});
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", input.string(), "-o", blocker.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(blocker.string()), std::string::npos) << result.errorOutput;
}

TEST(RenderFrames, BadUsageExitsWithTwoAndHelpShowsExamples) {
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {}).exitCode, 2);
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames"}).exitCode, 2);
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", "A.GFF"}).exitCode, 2);
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", "A.GFF", "-o"}).exitCode, 2);
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"pictures", "A.GFF"}).exitCode, 2);
  const ProgramResult help = RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("Examples:"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("karst-render frames OBJEX.GFF -o"), std::string::npos) << help.output;
}

// A region file whose only chunk is a palette: colour i is (i, 2i, 3i) in 6 bits, mod 64.
std::vector<std::uint8_t> PaletteRegion() {
  std::vector<std::uint8_t> palette(768);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = static_cast<std::uint8_t>((i / 3) * (i % 3 + 1) % 64);
  }
  return authoring::WriteContainer({{kTagPal, {{3, palette}}}});
}

tools::PngPalette ConvertedPaletteRegion() {
  tools::PngPalette colours{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    colours[i] = static_cast<std::uint8_t>((i / 3) * (i % 3 + 1) % 64 * 255 / 63);
  }
  return colours;
}

// Object bitmaps show the background through index 0 alone; tiles are opaque.
std::array<std::uint8_t, 256> AlphaOf(const std::string& stem) {
  std::array<std::uint8_t, 256> alpha = Opaque();
  if (!stem.starts_with("TILE")) {
    alpha[0] = 0;
  }
  return alpha;
}

// The length and first byte of the file's tRNS chunk; nothing without one.
std::optional<std::pair<std::uint32_t, std::uint8_t>> TransparencyChunk(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = karst::testing::ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t at = text.find("tRNS");
  if (at == std::string::npos || at < 4 || at + 4 >= bytes.size()) {
    return std::nullopt;
  }
  const std::uint32_t length = std::uint32_t{bytes[at - 4]} << 24 | std::uint32_t{bytes[at - 3]} << 16 |
                               std::uint32_t{bytes[at - 2]} << 8 | bytes[at - 1];
  return std::make_pair(length, bytes[at + 4]);
}

tools::IndexedPng Read(const std::filesystem::path& path) {
  std::optional<tools::IndexedPng> png = tools::ReadIndexedPng(path.string());
  EXPECT_TRUE(png) << path;
  return png.value_or(tools::IndexedPng{});
}

// Every pixel of `png` made a scale x scale square.
tools::IndexedPng Enlarged(const tools::IndexedPng& png, std::uint32_t scale) {
  tools::IndexedPng large = png;
  large.width *= scale;
  large.height *= scale;
  large.pixels.clear();
  for (std::uint32_t y = 0; y < large.height; ++y) {
    for (std::uint32_t x = 0; x < large.width; ++x) {
      large.pixels.push_back(png.pixels[(y / scale) * png.width + x / scale]);
    }
  }
  return large;
}

// The rectangle's pixels, cut out of `sheet`, and 0 left in their place.
tools::IndexedPng Cut(tools::IndexedPng& sheet, const nlohmann::json& rect) {
  tools::IndexedPng part{
      rect["w"].get<std::uint32_t>(), rect["h"].get<std::uint32_t>(), {}, sheet.palette, sheet.alpha};
  const auto left = rect["x"].get<std::uint32_t>();
  const auto top = rect["y"].get<std::uint32_t>();
  for (std::uint32_t y = top; y < top + part.height; ++y) {
    for (std::uint32_t x = left; x < left + part.width; ++x) {
      part.pixels.push_back(std::exchange(sheet.pixels.at(std::size_t{y} * sheet.width + x), std::uint8_t{0}));
    }
  }
  return part;
}

TEST(RenderFrames, SheetsCutIntoTheColouredFramesWrittenOneByOne) {
  TempDir dir;
  const auto input = dir.Write("OBJEX.GFF", LibraryWorld().Container()).string();
  const auto region = dir.Write("RGN01.GFF", PaletteRegion()).string();
  const std::vector<std::pair<std::string, std::vector<std::string>>> sheets = {
      {"TILE-3", {"TILE-3-0"}},
      {"TILE-4", {"TILE-4-0"}},
      {"BMP-7", {"BMP-7-0", "BMP-7-1"}},
      {"CBMP-12", {"CBMP-12-0"}},
  };
  for (const std::uint32_t scale : {1u, 3u}) {
    const std::string factor = std::to_string(scale);
    const auto single = dir.path() / ("single" + factor);
    const auto sheet = dir.path() / ("sheet" + factor);
    const ProgramResult frames =
        RunProgram(karst::testing::BuiltProgram("karst-render"),
                   {"frames", input, "--palette", region, "--scale", factor, "-o", single.string()});
    ASSERT_EQ(frames.exitCode, 0) << frames.errorOutput;
    const ProgramResult sheeted =
        RunProgram(karst::testing::BuiltProgram("karst-render"),
                   {"frames", input, "--palette", region, "--scale", factor, "--sheet", "-o", sheet.string()});
    ASSERT_EQ(sheeted.exitCode, 0) << sheeted.errorOutput;
    EXPECT_NE(sheeted.output.find("4 sheets written"), std::string::npos) << sheeted.output;
    EXPECT_NE(sheeted.output.find("no sheet, as no frame has pixels: BMP-9\n"), std::string::npos) << sheeted.output;
    EXPECT_EQ(FileNamesIn(sheet).size(), 2 * sheets.size());
    for (const auto& [stem, names] : sheets) {
      const std::string what = stem + " x" + factor;
      tools::IndexedPng picture = Read(sheet / (stem + ".png"));
      EXPECT_EQ(picture.palette, ConvertedPaletteRegion()) << what;
      EXPECT_EQ(picture.alpha, AlphaOf(stem)) << what;
      // Object pictures carry a tRNS chunk of one entry, 0; tiles none.
      for (const auto& file : {sheet / (stem + ".png"), single / (names[0] + ".png")}) {
        const auto transparency = TransparencyChunk(file);
        using Chunk = std::pair<std::uint32_t, std::uint8_t>;
        EXPECT_EQ(transparency, stem.starts_with("TILE") ? std::optional<Chunk>() : std::optional<Chunk>({1, 0}))
            << file;
      }
      const nlohmann::json sheetJson = nlohmann::json::parse(karst::testing::ReadFileBytes(sheet / (stem + ".json")));
      EXPECT_EQ(sheetJson["meta"]["image"], stem + ".png") << what;
      EXPECT_EQ(sheetJson["meta"]["scale"], factor) << what;
      EXPECT_EQ(sheetJson["meta"]["size"], (nlohmann::json{{"w", picture.width}, {"h", picture.height}})) << what;
      ASSERT_EQ(sheetJson["frames"].size(), names.size()) << what;
      for (std::size_t i = 0; i < names.size(); ++i) {
        const nlohmann::json& entry = sheetJson["frames"][i];
        const nlohmann::json& w = entry["frame"]["w"];
        const nlohmann::json& h = entry["frame"]["h"];
        EXPECT_EQ(entry, (nlohmann::json{{"filename", names[i]},
                                         {"frame", entry["frame"]},
                                         {"rotated", false},
                                         {"trimmed", false},
                                         {"spriteSourceSize", {{"x", 0}, {"y", 0}, {"w", w}, {"h", h}}},
                                         {"sourceSize", {{"w", w}, {"h", h}}}}))
            << what;
        const tools::IndexedPng frame = Read(single / (names[i] + ".png"));
        EXPECT_EQ(Cut(picture, entry["frame"]), frame) << what << " " << names[i];
        if (scale != 1) {
          EXPECT_EQ(frame, Enlarged(Read(dir.path() / "single1" / (names[i] + ".png")), scale)) << names[i];
        }
      }
      // Nothing but index 0 outside the frames' rectangles.
      EXPECT_EQ(std::count(picture.pixels.begin(), picture.pixels.end(), 0), std::ssize(picture.pixels)) << what;
    }
  }
}

TEST(RenderFrames, PicturesPastTheSizeBoundAreRefusedNamingTheChunk) {
  TempDir dir;
  // Two frames of 65535 x 1, the widest a frame can be.
  const IndexedImage wide = Gradient(65535, 1, 1);
  const auto input =
      dir.Write("WIDE.GFF",
                authoring::WriteContainer(
                    {{kTagBmp,
                      {{5, FrameSetOf({*authoring::EncodePlanFrame(wide), authoring::EncodeBlankFrame(65535, 1)})}}}}))
          .string();
  struct Case {
    std::vector<std::string> options;
    int exitCode;
    std::string written;  // the picture made, or the message that refuses it
  };
  const std::vector<Case> cases = {
      {{"--sheet", "--scale", "7"}, 0, "BMP-5.png"},
      {{"--sheet", "--scale", "8"},
       1,
       input + ": BMP-5: a sheet of 1048560 x 8 pixels would pass the largest picture written (1000000 pixels a "
               "side, 256 Mi pixels in all); not written"},
      {{"--scale", "15"}, 0, "BMP-5-1.png"},
      {{"--scale", "16"}, 1, "BMP-5-0.png: 1048560 x 16 pixels would pass the largest picture written"},
  };
  for (const Case& c : cases) {
    const auto output = dir.path() / ("out" + c.options.back() + c.options.front());
    std::vector<std::string> arguments = {"frames", input, "-o", output.string()};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"), arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.written << result.errorOutput;
    if (c.exitCode == 0) {
      EXPECT_TRUE(std::filesystem::exists(output / c.written)) << c.written;
    } else {
      EXPECT_NE(result.errorOutput.find(c.written), std::string::npos) << result.errorOutput;
      EXPECT_TRUE(FileNamesIn(output).empty()) << c.written;
    }
  }
}

}  // namespace
}  // namespace karst
