// karst-gff palette, run as a program on the sample world: every format read back gives the
// colours of `karst-render region`'s picture of the same region, entry 255 included.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "gff/format.h"
#include "gff/gff_directory.h"
#include "gff/gff_file.h"
#include "gff/load_report.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/common/png_file.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;
using karst::testing::TempDir;
using tools::PngPalette;

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// "R G B" lines from `first` on, 256 of them, each followed by `label` and its index (nothing
// when `label` is empty); nothing when a line does not read so.
std::optional<PngPalette> ColourLines(const std::vector<std::string>& lines, std::size_t first,
                                      const std::string& label) {
  if (lines.size() != first + 256) {
    return std::nullopt;
  }
  PngPalette palette{};
  for (std::size_t i = 0; i < 256; ++i) {
    unsigned colour[3] = {};
    int used = 0;
    const std::string& line = lines[first + i];
    if (std::sscanf(line.c_str(), "%u %u %u%n", &colour[0], &colour[1], &colour[2], &used) != 3 ||
        line.substr(static_cast<std::size_t>(used)) != (label.empty() ? "" : label + std::to_string(i))) {
      return std::nullopt;
    }
    for (std::size_t c = 0; c < 3; ++c) {
      if (colour[c] > 255) {
        return std::nullopt;
      }
      palette[3 * i + c] = static_cast<std::uint8_t>(colour[c]);
    }
  }
  return palette;
}

std::vector<std::string> Split(const std::string& text, const std::string& lineEnd) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find(lineEnd, at);
    if (end == std::string::npos) {
      return {};  // the last line has no line end
    }
    lines.push_back(text.substr(at, end - at));
    at = end + lineEnd.size();
  }
  return lines;
}

std::optional<PngPalette> ReadGimp(const std::vector<std::uint8_t>& bytes, const std::string& name) {
  const std::vector<std::string> lines = Split(Text(bytes), "\n");
  if (lines.size() < 4 || lines[0] != "GIMP Palette" || lines[1] != "Name: " + name || lines[2] != "Columns: 16" ||
      lines[3] != "#") {
    return std::nullopt;
  }
  return ColourLines(lines, 4, "\tIndex ");
}

std::optional<PngPalette> ReadJasc(const std::vector<std::uint8_t>& bytes, const std::string&) {
  const std::string text = Text(bytes);
  const std::vector<std::string> lines = Split(text, "\r\n");
  // Every line ends in CRLF: no bare line feed anywhere.
  if (lines.size() < 3 || lines[0] != "JASC-PAL" || lines[1] != "0100" || lines[2] != "256" ||
      text.find('\n') != text.find("\r\n") + 1) {
    return std::nullopt;
  }
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) {
      return std::nullopt;
    }
  }
  return ColourLines(lines, 3, "");
}

std::optional<PngPalette> ReadAct(const std::vector<std::uint8_t>& bytes, const std::string&) {
  if (bytes.size() != 768) {
    return std::nullopt;
  }
  PngPalette palette{};
  std::copy(bytes.begin(), bytes.end(), palette.begin());
  return palette;
}

// Makes colour 255 of the region file's palettes (63, 32, 7), where the sample world's are black.
void SetLastColour(const TempDir& dir, const std::string& file) {
  std::vector<std::uint8_t> bytes = ReadFileBytes(dir.path() / file);
  GffFile container;
  ASSERT_TRUE(container.OpenBytes(bytes, LoadReport()));
  for (const ChunkType& type : container.directory()) {
    for (const ChunkEntry& entry : *type.entries) {
      if (SameTag(type.tag, kTagPal)) {
        ASSERT_EQ(entry.size, 768u);
        bytes[entry.offset + 765] = 63;
        bytes[entry.offset + 766] = 32;
        bytes[entry.offset + 767] = 7;
      }
    }
  }
  dir.Write(file, bytes);
}

struct Region {
  std::string file;
  std::string name;
};

struct Format {
  std::string output;  // "-" reads the standard output
  std::vector<std::string> options;
  std::optional<PngPalette> (*read)(const std::vector<std::uint8_t>&, const std::string&);
};

TEST(Palette, EveryFormatHoldsTheColoursOfTheRegionsPicture) {
  TempDir dir;
  karst::testing::WriteSampleWorld(dir.path());
  // The later region's entry 255 differs from the first one's, which a viewer showing both in
  // turn would keep: the file must hold the region's own.
  SetLastColour(dir, "RGN03.GFF");
  const std::vector<Region> regions = {{"RGN01.GFF", "Greenmeadow"}, {"RGN03.GFF", "Mirefen"}};
  const std::vector<Format> formats = {
      {"out.gpl", {}, ReadGimp},           {"OUT.PAL", {}, ReadJasc},
      {"-", {"--format", "act"}, ReadAct}, {"swatch", {"--format", "PNG"}, nullptr},
      {"colours.png", {}, nullptr},
  };
  std::vector<PngPalette> pictures;
  for (const Region& region : regions) {
    const std::filesystem::path file = dir.path() / region.file;
    const std::filesystem::path picture = dir.path() / (region.file + ".png");
    ASSERT_EQ(RunProgram(KARST_RENDER_PATH, {"region", file.string(), "--no-objects", "-o", picture.string()}).exitCode,
              0);
    const auto expected = tools::ReadIndexedPng(picture.string());
    ASSERT_TRUE(expected);
    pictures.push_back(expected->palette);
    for (const Format& format : formats) {
      SCOPED_TRACE(region.file + " -> " + format.output);
      const std::filesystem::path output = format.output == "-" ? "-" : dir.path() / format.output;
      std::vector<std::string> arguments = {"palette", file.string(), "-o", output.string()};
      arguments.insert(arguments.end(), format.options.begin(), format.options.end());
      const ProgramResult result = RunProgram(KARST_GFF_PATH, arguments);
      ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
      if (format.read == nullptr) {
        const auto swatch = tools::ReadIndexedPng(output.string());
        ASSERT_TRUE(swatch);
        EXPECT_EQ(swatch->width, 16u);
        EXPECT_EQ(swatch->height, 16u);
        for (std::size_t i = 0; i < swatch->pixels.size(); ++i) {
          EXPECT_EQ(swatch->pixels[i], i);
        }
        EXPECT_EQ(swatch->palette, expected->palette);
        continue;
      }
      const std::vector<std::uint8_t> bytes =
          format.output == "-" ? std::vector<std::uint8_t>(result.output.begin(), result.output.end())
                               : ReadFileBytes(output);
      const std::optional<PngPalette> colours = format.read(bytes, region.name);
      ASSERT_TRUE(colours) << Text(bytes).substr(0, 200);
      EXPECT_EQ(*colours, expected->palette);
    }
  }
  EXPECT_EQ(std::vector<std::uint8_t>(pictures[0].end() - 3, pictures[0].end()), (std::vector<std::uint8_t>{0, 0, 0}));
  EXPECT_EQ(std::vector<std::uint8_t>(pictures[1].end() - 3, pictures[1].end()),
            (std::vector<std::uint8_t>{255, 129, 28}));
}

TEST(Palette, RefusalsAndRegionsWithoutColours) {
  TempDir dir;
  const std::vector<std::uint8_t> colours(768, 21);
  // Cut 100 bytes short: in a file smaller than the chunk, and in one that holds a map before it.
  std::vector<std::uint8_t> cut = authoring::WriteContainer({{kTagPal, {{4, colours}}}});
  cut.resize(cut.size() - 100);
  std::vector<std::uint8_t> cutAfterMap =
      authoring::WriteContainer({{kTagMap, {{1, std::vector<std::uint8_t>(12288)}}}, {kTagPal, {{4, colours}}}});
  cutAfterMap.resize(cutAfterMap.size() - 100);
  const std::string whole = dir.Write("RGN01.GFF", authoring::WriteContainer({{kTagPal, {{4, colours}}}})).string();
  const std::string none = dir.Write("RGN02.GFF", authoring::WriteContainer({{kTagMap, {{4, colours}}}})).string();
  const std::string small =
      dir.Write("RGN03.GFF", authoring::WriteContainer({{kTagPal, {{6, std::vector<std::uint8_t>(767, 1)}}}})).string();
  const std::string cutShort = dir.Write("RGN04.GFF", cut).string();
  const std::string cutLate = dir.Write("RGN05.GFF", cutAfterMap).string();
  const std::string out = (dir.path() / "out.txt").string();
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{whole, "-o", out}, 2, out + ": cannot tell which palette format to write: name OUT .gpl, .pal, .act or .png"},
      {{whole, "-o", "-"}, 2, "-: cannot tell which palette format"},
      {{whole, "-o", out, "--format", "bmp"}, 2, "expected gpl, pal, act or png"},
      {{whole, "-o", whole, "--format", "act"}, 2, whole + ": is the same file as the input"},
      {{none, "-o", out, "--format", "act"}, 1, none + ": no \"PAL \" chunk: the region has no colours"},
      {{small, "-o", out, "--format", "act"},
       1,
       small + ": the \"PAL \" chunk 6 holds 767 bytes, fewer than the 768 of 256 colours"},
      {{cutShort, "-o", out, "--format", "act"},
       1,
       cutShort + ": the \"PAL \" chunk 4 cannot be read whole: it claims more bytes than the whole file holds"},
      {{cutLate, "-o", out, "--format", "act"},
       1,
       cutLate + ": the \"PAL \" chunk 4 cannot be read whole: it runs past the end of the file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"palette"};
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    const ProgramResult result = RunProgram(KARST_GFF_PATH, arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.message;
    EXPECT_NE(result.errorOutput.find(c.message), std::string::npos) << result.errorOutput;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
  }
  EXPECT_EQ(ReadFileBytes(whole), authoring::WriteContainer({{kTagPal, {{4, colours}}}}));
  // 21 becomes floor(21 x 255 / 63) = 85 in every component.
  const ProgramResult act = RunProgram(KARST_GFF_PATH, {"palette", whole, "-o", "-", "--format", "act"});
  EXPECT_EQ(act.exitCode, 0);
  EXPECT_EQ(act.output, std::string(768, static_cast<char>(85)));
}

}  // namespace
}  // namespace karst
