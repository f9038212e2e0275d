// karst-gff info, run as a program on containers written by authoring/.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "authoring/byte_writer.h"
#include "authoring/container_writer.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst {
namespace {

TEST(GffInfo, JsonListsExactlyTheRecordsAndEntriesInOrder) {
  karst::testing::TempDir dir;
  const auto path = dir.Write("RGN01.GFF", authoring::WriteContainer({
                                               {kTagTile, {{9, {1, 2, 3}}, {4, {4}}, {6, {}}}},
                                               {kTagBmp, {{10, {1}}, {11, {2}}, {40, {3, 3}}}, true},
                                               {kTagRnme, {{0, {'h', 'i'}}}, false, 0x8001},
                                           }));
  const karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", path.string(), "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  const nlohmann::json json = nlohmann::json::parse(result.output);
  const nlohmann::json& types = json.at("types");
  ASSERT_EQ(types.size(), 4u);
  // The index record that the writer puts first for the indexed "BMP " type.
  EXPECT_EQ(types[0].at("tag"), "GFFI");
  EXPECT_EQ(types[0].at("indexed"), false);
  ASSERT_EQ(types[0].at("entries").size(), 1u);

  EXPECT_EQ(types[1].at("tag"), "TILE");
  EXPECT_EQ(types[1].at("count"), 3);
  EXPECT_EQ(types[1].at("flags"), 0);
  EXPECT_EQ(types[1].at("indexed"), false);
  const nlohmann::json& tiles = types[1].at("entries");
  ASSERT_EQ(tiles.size(), 3u);
  EXPECT_EQ(tiles[0].at("number"), 9);
  EXPECT_EQ(tiles[1].at("number"), 4);
  EXPECT_EQ(tiles[2].at("number"), 6);
  EXPECT_EQ(tiles[0].at("size"), 3);
  EXPECT_EQ(tiles[1].at("offset").get<int>(), tiles[0].at("offset").get<int>() + 3);
  EXPECT_EQ(tiles[2].at("size"), 0);

  EXPECT_EQ(types[2].at("tag"), "BMP ");
  EXPECT_EQ(types[2].at("flags"), 0x8000);
  EXPECT_EQ(types[2].at("indexed"), true);
  const nlohmann::json& bitmaps = types[2].at("entries");
  ASSERT_EQ(bitmaps.size(), 3u);
  EXPECT_EQ(bitmaps[0].at("number"), 10);
  EXPECT_EQ(bitmaps[1].at("number"), 11);
  EXPECT_EQ(bitmaps[2].at("number"), 40);
  EXPECT_EQ(bitmaps[2].at("size"), 2);

  EXPECT_EQ(types[3].at("tag"), "RNME");
  EXPECT_EQ(types[3].at("flags"), 0x8001);
  EXPECT_EQ(types[3].at("indexed"), false);
}

TEST(GffInfo, TextShowsTheSameRecords) {
  karst::testing::TempDir dir;
  const auto path =
      dir.Write("OBJEX.GFF", authoring::WriteContainer({{kTagOjff, {{3, std::vector<std::uint8_t>(16)}}}}));
  const karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", path.string()});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("1 chunk type record"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("\"OJFF\"  count 1  flags 0x0000  plain  1 entry"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("number 3  offset 46  size 16"), std::string::npos) << result.output;
}

TEST(GffInfo, ErrorsNameTheFileAndBadUsageExitsTwo) {
  karst::testing::TempDir dir;
  const auto notContainer = dir.Write("NOTGFF.GFF", std::array<std::uint8_t, 20>{'G', 'F', 'F', 'X'});
  karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", notContainer.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(notContainer.string()), std::string::npos) << result.errorOutput;
  EXPECT_EQ(result.output, "");

  const std::string missing = (dir.path() / "MISSING.GFF").string();
  result = karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", missing});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(missing), std::string::npos);

  EXPECT_EQ(karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info"}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"frobnicate"}).exitCode, 2);
  EXPECT_EQ(
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", missing, "--bogus"}).exitCode, 2);

  result = karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", "--help"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("Examples:"), std::string::npos);
}

// Tags of any four bytes: the JSON stays valid and ASCII, "tag" escapes every byte outside
// printable ASCII as \u00XX and "tagHex" holds the bytes; the text shows them as \xXX. The
// reader's line about an indexed record with no index before it goes to standard error.
TEST(GffInfo, AnyTagBytesGiveValidJsonAndPlainText) {
  const auto tag = [](std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    return std::vector<std::uint8_t>{a, b, c, d};
  };
  authoring::ByteWriter bytes;
  bytes.bytes(tag('G', 'F', 'F', 'I'));    // magic
  bytes.zeros(8);                          // not read
  bytes.u32le(16);                         // D: the directory follows the header
  bytes.zeros(4);                          // not read
  bytes.u32le(10 + 3 * 20);                // L: three records of 20 bytes behind the first 10
  bytes.zeros(2);                          // not read
  bytes.bytes(tag(0x80, 'A', 0x0A, '"'));  // tag: a high byte, a line feed, a quote
  bytes.u16le(1);                          // count
  bytes.u16le(0);                          // flags: plain
  bytes.u32le(7);                          // number 7, offset 0, size 0
  bytes.zeros(8);
  bytes.bytes(tag(0x00, 0x7F, 0xFF, '\\'));  // tag: zero, delete, 0xFF, a backslash
  bytes.u16le(1);                            // count
  bytes.u16le(0);                            // flags: plain
  bytes.u32le(8);                            // number 8, offset 0, size 0
  bytes.zeros(8);
  bytes.bytes(tag('B', 'M', 'P', ' '));  // an indexed record, with no "GFFI" record before it
  bytes.u16le(1);                        // count
  bytes.u16le(0x8000);                   // flags: indexed
  bytes.zeros(4);                        // not read
  bytes.u32le(0);                        // index chunk 0
  bytes.u32le(0);                        // no runs
  karst::testing::TempDir dir;
  const auto path = dir.Write("ODD.GFF", bytes.data());

  karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", path.string(), "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(result.output,
            "{\"file\":" + tools::JsonText(path.string()) +
                ",\"types\":["
                "{\"count\":1,\"entries\":[{\"number\":7,\"offset\":0,\"size\":0}],\"flags\":0,\"indexed\":false,"
                "\"tag\":\"\\u0080A\\u000a\\\"\",\"tagHex\":\"80410a22\"},"
                "{\"count\":1,\"entries\":[{\"number\":8,\"offset\":0,\"size\":0}],\"flags\":0,\"indexed\":false,"
                "\"tag\":\"\\u0000\\u007f\\u00ff\\\\\",\"tagHex\":\"007fff5c\"}]}\n");
  const nlohmann::json json = nlohmann::json::parse(result.output);
  EXPECT_EQ(json.at("types")[0].at("tag"), "\u0080A\n\"");
  EXPECT_EQ(result.errorOutput, "karst-gff: " + path.string() + ": It's a GFFI But we don't got no GFFI yet!!\n");

  result = karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", path.string()});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("\"\\x80A\\x0A\"\"  count 1"), std::string::npos) << result.output;
  // The printable U+00FF as this test's terminal shows it (the program runs with its locale), the
  // control bytes escaped; nothing else beyond printable ASCII.
  const std::string shownY = tools::ShownText("\xFF");
  const std::size_t tagAt = result.output.find("\"\\x00\\x7F" + shownY + "\\\"  count 1");
  ASSERT_NE(tagAt, std::string::npos) << result.output;
  std::string rest = result.output;
  rest.erase(tagAt + 9, shownY.size());
  for (const char c : rest) {
    EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << static_cast<int>(static_cast<unsigned char>(c));
  }
}

// A container cut short: the directory is listed as far as it goes, and a warning on standard
// error says how many bytes are missing; the exit code stays 0. The whole file gives none.
TEST(GffInfo, WarnsWhenTheFileCutsTheDirectoryShort) {
  // The writer puts the index chunk of the indexed record last in the file.
  const std::vector<std::uint8_t> whole = authoring::WriteContainer({
      {kTagTile, {{9, {1, 2, 3}}}},
      {kTagBmp, {{10, {1}}, {11, {2}}}, true},
  });
  // L (at D + 4 = 20) as long as the file: the directory ends 16 bytes past it.
  std::vector<std::uint8_t> longDirectory = whole;
  const std::uint64_t directoryEnd = 16 + whole.size();
  for (std::size_t i = 0; i < 4; ++i) {
    longDirectory[20 + i] = static_cast<std::uint8_t>(whole.size() >> (8 * i));
  }
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string warning;
  };
  const Case cases[] = {
      {"whole", whole, ""},
      {"cut by one byte", std::vector<std::uint8_t>(whole.begin(), whole.end() - 1),
       "index chunk GFFI 0 ends 1 byte past the end of the file"},
      {"cut by nine bytes", std::vector<std::uint8_t>(whole.begin(), whole.end() - 9),
       "index chunk GFFI 0 ends 9 bytes past the end of the file"},
      {"a directory longer than the file", longDirectory,
       "the chunk directory ends at byte " + std::to_string(directoryEnd) + ", " + "16 bytes past the end of the file"},
  };
  karst::testing::TempDir dir;
  for (const Case& c : cases) {
    const auto path = dir.Write("CUT.GFF", c.bytes);
    const karst::testing::ProgramResult result =
        karst::testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", path.string()});
    EXPECT_EQ(result.exitCode, 0) << c.name;
    if (c.warning.empty()) {
      EXPECT_EQ(result.errorOutput, "") << c.name;
    } else {
      EXPECT_NE(result.errorOutput.find(path.string() + ": warning: " + c.warning), std::string::npos)
          << c.name << ": " << result.errorOutput;
    }
  }
}

// POSIX only: a file nobody may read is made with permission bits.
#ifndef _WIN32
// Inputs that cannot be read say why, in the system's words, in every tool: a folder where a
// file belongs, a missing file, and (as an unprivileged user) a file nobody may read.
TEST(InputErrors, EveryToolGivesTheSystemsReason) {
  karst::testing::TempDir dir;
  std::filesystem::permissions(dir.path(), std::filesystem::perms::all);
  const std::string locked = dir.Write("RGN01.GFF", authoring::WriteContainer({{kTagTile, {{1, {1}}}}})).string();
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  const std::string missing = (dir.path() / "NONE.GFF").string();
  const std::string folder = dir.path().string();
  const std::string out = (dir.path() / "out").string();
  struct Case {
    std::string program;
    std::vector<std::string> before;  // the arguments before the input
    std::vector<std::string> after;   // and after it
  };
  const Case cases[] = {
      {karst::testing::BuiltProgram("karst-gff"), {"info"}, {}},
      {karst::testing::BuiltProgram("karst-gff"), {"extract"}, {"PAL", "0", "-o", out}},
      {karst::testing::BuiltProgram("karst-gff"), {"check"}, {}},
      {karst::testing::BuiltProgram("karst-render"), {"region"}, {"--no-objects", "-o", out}},
      {karst::testing::BuiltProgram("karst-render"), {"frames"}, {"-o", out}},
  };
  struct Input {
    std::string path;
    std::string reason;
    bool unprivileged;
  };
  const Input inputs[] = {
      {missing, "No such file or directory", false},
      {folder, "Is a directory", false},
      {locked, "Permission denied", true},
  };
  for (const Case& c : cases) {
    for (const Input& input : inputs) {
      // check takes a folder as its input, and finds no region files in this one.
      if (input.path == folder && c.before[0] == "check") {
        continue;
      }
      if (input.unprivileged && !karst::testing::RunningAsRoot()) {
        continue;
      }
      std::vector<std::string> arguments = c.before;
      arguments.push_back(input.path);
      arguments.insert(arguments.end(), c.after.begin(), c.after.end());
      const karst::testing::ProgramResult result = input.unprivileged
                                                       ? karst::testing::RunProgramAsNobody(c.program, arguments)
                                                       : karst::testing::RunProgram(c.program, arguments);
      const std::string line = std::filesystem::path(c.program).filename().string() + ": " + input.path + ": ";
      EXPECT_EQ(result.exitCode, 1) << c.before[0] << " " << input.path;
      EXPECT_NE(result.errorOutput.find(line + input.reason), std::string::npos)
          << c.before[0] << " " << input.path << ":\n"
          << result.errorOutput;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}
#endif  // _WIN32

}  // namespace
}  // namespace karst
