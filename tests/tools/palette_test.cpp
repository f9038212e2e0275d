// karst-gff palette, run as a program on the sample world: every format read back gives the
// colours of `karst-render region`'s picture of the same region, entry 255 included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "gff/format.h"
#include "gff/gff_directory.h"
#include "gff/gff_file.h"
#include "gff/load_report.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;
using karst::testing::TempDir;
using tools::PngPalette;

enum class Kind { kGimp, kJasc, kAct, kSwatch };

// The colours of a palette text: the `header` lines, then 256 lines "R G B", each followed by
// `label` and its index when there is a label; every line ends in `lineEnd` and holds no other
// line break. Nothing when the text is not exactly that.
std::optional<PngPalette> ReadText(const std::string& text, const std::vector<std::string>& header,
                                   const std::string& lineEnd, const std::string& label) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < text.size(); at += lines.back().size() + lineEnd.size()) {
    const std::size_t end = text.find(lineEnd, at);
    if (end == std::string::npos) {
      return std::nullopt;
    }
    lines.push_back(text.substr(at, end - at));
    if (lines.back().find_first_of("\r\n") != std::string::npos) {
      return std::nullopt;
    }
  }
  if (lines.size() != header.size() + 256 || !std::equal(header.begin(), header.end(), lines.begin())) {
    return std::nullopt;
  }
  PngPalette palette{};
  for (std::size_t i = 0; i < 256; ++i) {
    const std::string& line = lines[header.size() + i];
    int used = 0;
    if (std::sscanf(line.c_str(), "%hhu %hhu %hhu%n", &palette[3 * i], &palette[3 * i + 1], &palette[3 * i + 2],
                    &used) != 3 ||
        line.substr(static_cast<std::size_t>(used)) != (label.empty() ? "" : label + std::to_string(i))) {
      return std::nullopt;
    }
  }
  return palette;
}

std::optional<PngPalette> ReadPalette(Kind kind, const std::vector<std::uint8_t>& bytes, const std::string& name) {
  const std::string text(bytes.begin(), bytes.end());
  PngPalette palette{};
  switch (kind) {
    case Kind::kGimp:
      return ReadText(text, {"GIMP Palette", "Name: " + name, "Columns: 16", "#"}, "\n", "\tIndex ");
    case Kind::kJasc:
      return ReadText(text, {"JASC-PAL", "0100", "256"}, "\r\n", "");
    case Kind::kAct:
      if (bytes.size() != palette.size()) {
        return std::nullopt;
      }
      std::copy(bytes.begin(), bytes.end(), palette.begin());
      return palette;
    case Kind::kSwatch:
      break;
  }
  return std::nullopt;
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

struct NamedRegion {
  std::string file;
  std::string name;
};

struct Format {
  std::string output;  // "-" reads the standard output
  std::vector<std::string> options;
  Kind kind;
};

TEST(Palette, EveryFormatHoldsTheColoursOfTheRegionsPicture) {
  TempDir dir;
  karst::testing::WriteSampleWorld(dir.path());
  // The later region's entry 255 differs from the first one's, which a viewer showing both in
  // turn would keep: the file must hold the region's own.
  SetLastColour(dir, "RGN03.GFF");
  const std::vector<NamedRegion> regions = {{"RGN01.GFF", "Greenmeadow"}, {"RGN03.GFF", "Mirefen"}};
  const std::vector<Format> formats = {
      {"out.gpl", {}, Kind::kGimp},           {"OUT.PAL", {}, Kind::kJasc},
      {"-", {"--format", "act"}, Kind::kAct}, {"swatch", {"--format", "PNG"}, Kind::kSwatch},
      {"colours.png", {}, Kind::kSwatch},
  };
  std::vector<PngPalette> pictures;
  for (const NamedRegion& region : regions) {
    const std::filesystem::path file = dir.path() / region.file;
    const std::filesystem::path picture = dir.path() / (region.file + ".png");
    ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                         {"region", file.string(), "--no-objects", "-o", picture.string()})
                  .exitCode,
              0);
    const auto expected = tools::ReadIndexedPng(picture.string());
    ASSERT_TRUE(expected);
    pictures.push_back(expected->palette);
    for (const Format& format : formats) {
      SCOPED_TRACE(region.file + " -> " + format.output);
      const std::filesystem::path output = format.output == "-" ? "-" : dir.path() / format.output;
      std::vector<std::string> arguments = {"palette", file.string(), "-o", output.string()};
      arguments.insert(arguments.end(), format.options.begin(), format.options.end());
      const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), arguments);
      ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
      if (format.kind == Kind::kSwatch) {
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
      const std::optional<PngPalette> colours = ReadPalette(format.kind, bytes, region.name);
      ASSERT_TRUE(colours);
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
    const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.message;
    EXPECT_NE(result.errorOutput.find(c.message), std::string::npos) << result.errorOutput;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.message;
  }
  EXPECT_EQ(ReadFileBytes(whole), authoring::WriteContainer({{kTagPal, {{4, colours}}}}));
}

}  // namespace
}  // namespace karst
