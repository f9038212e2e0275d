// karst-gff extract, run as a program on containers written by authoring/: the file it writes is
// exactly the payload that went into the container, or nothing at all.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;
using karst::testing::TempDir;

std::vector<std::uint8_t> Counting(std::size_t size, std::uint8_t start) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(start + i * 7);
  }
  return bytes;
}

struct Payloads {
  std::vector<std::uint8_t> palette = Counting(768, 1);
  std::vector<std::uint8_t> bmp7 = Counting(40, 9);
  std::vector<std::uint8_t> bmp8 = Counting(3, 200);
  std::vector<std::uint8_t> ojff3 = Counting(16, 50);
  std::vector<std::uint8_t> laterBmp7 = Counting(5, 77);

  std::vector<std::uint8_t> Container() const {
    return authoring::WriteContainer({
        {kTagPal, {{0, palette}}},
        // Indexed: the positions and sizes come from a GFFI index chunk.
        {kTagBmp, {{7, bmp7}, {8, bmp8}, {9, {}}}, true},
        {kTagOjff, {{3, ojff3}}, false, 0x8001},
        // A second record of the same tag and number: the first in directory order is the one.
        {kTagBmp, {{7, laterBmp7}}},
    });
  }
};

ProgramResult Extract(const std::filesystem::path& file, const std::string& tag, const std::string& number,
                      const std::filesystem::path& output) {
  return RunProgram(karst::testing::BuiltProgram("karst-gff"),
                    {"extract", file.string(), tag, number, "-o", output.string()});
}

std::size_t EntriesIn(const std::filesystem::path& directory) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
    ++count;
  }
  return count;
}

TEST(GffExtract, WritesPlainAndIndexedPayloadsByteForByte) {
  TempDir dir;
  const Payloads payloads;
  const auto input = dir.Write("OBJEX.GFF", payloads.Container());
  const struct {
    std::string tag;
    std::string number;
    const std::vector<std::uint8_t>* payload;
  } cases[] = {
      {"PAL", "0", &payloads.palette},   // plain record, "PAL " typed without its blank
      {"PAL ", "0", &payloads.palette},  // and with it
      {"BMP", "7", &payloads.bmp7},      // indexed, first of two records with BMP 7
      {"BMP", "8", &payloads.bmp8},      // indexed, second of its run
      {"OJFF", "3", &payloads.ojff3},    // plain form with flags other than 0
  };
  for (const auto& c : cases) {
    const auto output = dir.path() / ("out-" + c.tag + c.number);
    const ProgramResult result = Extract(input, c.tag, c.number, output);
    ASSERT_EQ(result.exitCode, 0) << c.tag << c.number << ": " << result.errorOutput;
    EXPECT_EQ(ReadFileBytes(output), *c.payload) << c.tag << c.number;
    EXPECT_EQ(result.output, "");
  }
  // A chunk of 0 bytes gives an empty file.
  const auto empty = dir.path() / "empty";
  ASSERT_EQ(Extract(input, "BMP", "9", empty).exitCode, 0);
  EXPECT_TRUE(std::filesystem::exists(empty));
  EXPECT_EQ(std::filesystem::file_size(empty), 0u);
}

TEST(GffExtract, ReplacesAnExistingOutputWhole) {
  TempDir dir;
  const Payloads payloads;
  const auto input = dir.Write("OBJEX.GFF", payloads.Container());
  const auto output = dir.Write("out.bin", std::vector<std::uint8_t>(4096, 0xEE));
  ASSERT_EQ(Extract(input, "BMP", "8", output).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(output), payloads.bmp8);
  // Only the input and the output: no temporary file stays behind.
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

TEST(GffExtract, MissingChunkFailsAndWritesNothing) {
  TempDir dir;
  const auto input = dir.Write("OBJEX.GFF", Payloads().Container());
  const auto output = dir.path() / "out.bin";
  struct Missing {
    std::string tag;
    std::string number;
    std::string message;
  };
  for (const Missing& missing : {Missing{"BMP", "10", "no chunk BMP 10"}, Missing{"OJFF", "7", "no chunk OJFF 7"},
                                 // Tags are case-sensitive and padded only on the right.
                                 Missing{"bmp", "7", "no chunk bmp 7"}, Missing{"CBMP", "7", "no chunk CBMP 7"}}) {
    const ProgramResult result = Extract(input, missing.tag, missing.number, output);
    EXPECT_EQ(result.exitCode, 1) << missing.tag;
    EXPECT_NE(result.errorOutput.find("karst-gff: " + input.string() + ": " + missing.message), std::string::npos)
        << result.errorOutput;
    EXPECT_FALSE(std::filesystem::exists(output));
  }
}

TEST(GffExtract, PayloadPastTheEndOfTheFileFailsAndWritesNothing) {
  TempDir dir;
  const Payloads payloads;
  // Plain records only: the OJFF payload is the last 16 bytes of the file.
  std::vector<std::uint8_t> bytes =
      authoring::WriteContainer({{kTagPal, {{0, payloads.palette}}}, {kTagOjff, {{3, payloads.ojff3}}}});
  // Just fits: the whole file.
  const auto whole = dir.Write("WHOLE.GFF", bytes);
  const auto fits = dir.path() / "fits.bin";
  ASSERT_EQ(Extract(whole, "OJFF", "3", fits).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(fits), payloads.ojff3);
  // Just fails: one byte less.
  bytes.pop_back();
  const auto cut = dir.Write("CUT.GFF", bytes);
  const auto output = dir.path() / "out.bin";
  const ProgramResult result = Extract(cut, "OJFF", "3", output);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-gff: " + cut.string() + ": chunk OJFF 3 runs past the end of the file"),
            std::string::npos)
      << result.errorOutput;
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(EntriesIn(dir.path()), 3u);  // the two inputs and fits.bin
  // The chunk before it is still whole.
  ASSERT_EQ(Extract(cut, "PAL", "0", output).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(output), payloads.palette);
}

TEST(GffExtract, UnreadableInputsFailNamingTheFile) {
  TempDir dir;
  const auto output = dir.path() / "out.bin";
  const auto missing = dir.path() / "MISSING.GFF";
  ProgramResult result = Extract(missing, "PAL", "0", output);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-gff: " + missing.string() + ": No such file or directory"),
            std::string::npos);

  const auto notGff = dir.Write("NOT.GFF", std::vector<std::uint8_t>{'G', 'F', 'F', 'X', 0, 0, 0, 0});
  result = Extract(notGff, "PAL", "0", output);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-gff: " + notGff.string() + ": not a GFF container"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(output));

  // An output that cannot be written: a directory stands in the way.
  const auto input = dir.Write("OBJEX.GFF", Payloads().Container());
  std::filesystem::create_directory(dir.path() / "blocker");
  result = Extract(input, "PAL", "0", dir.path() / "blocker");
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find((dir.path() / "blocker").string()), std::string::npos) << result.errorOutput;
  EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "blocker"));
  EXPECT_EQ(EntriesIn(dir.path()), 3u);  // NOT.GFF, OBJEX.GFF, blocker
}

TEST(GffExtract, BadUsageExitsTwo) {
  TempDir dir;
  const auto input = dir.Write("OBJEX.GFF", Payloads().Container());
  const std::string out = (dir.path() / "out.bin").string();
  const std::vector<std::vector<std::string>> usages = {
      {"extract", input.string(), "BMPXY", "7", "-o", out},         // a tag of five characters
      {"extract", input.string(), "", "7", "-o", out},              // an empty tag
      {"extract", input.string(), "BMP", "-1", "-o", out},          // a number below 0
      {"extract", input.string(), "BMP", "4294967296", "-o", out},  // above 32 bits
      {"extract", input.string(), "BMP", "seven", "-o", out},
      {"extract", input.string(), "BMP", "7"},  // no output
      {"extract", input.string(), "BMP", "-o", out},
  };
  for (const auto& usage : usages) {
    const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), usage);
    EXPECT_EQ(result.exitCode, 2) << usage[2] << " " << usage[3];
    EXPECT_NE(result.errorOutput, "");
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  // Just fits: four characters is a tag.
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-gff"), {"extract", input.string(), "OJFF", "3", "-o", out})
                .exitCode,
            0);

  const ProgramResult help = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"extract", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("karst-gff extract OBJEX.GFF BMP 552 -o"), std::string::npos) << help.output;
}

}  // namespace
}  // namespace karst
