// karst-gff info, run as a program on containers written by authoring/.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "authoring/container_writer.h"
#include "gff/format.h"
#include "tests/support/temp_dir.h"
#include "tests/support/run_program.h"

namespace karst {
namespace {

TEST(GffInfo, JsonListsExactlyTheRecordsAndEntriesInOrder) {
  karst::testing::TempDir dir;
  const auto path = dir.Write("RGN01.GFF", authoring::WriteContainer({
                                                {kTagTile, {{9, {1, 2, 3}}, {4, {4}}, {6, {}}}},
                                                {kTagBmp, {{10, {1}}, {11, {2}}, {40, {3, 3}}}, true},
                                                {kTagRnme, {{0, {'h', 'i'}}}, false, 0x8001},
                                            }));
  const karst::testing::ProgramResult result = karst::testing::RunProgram(KARST_GFF_PATH, {"info", path.string(), "--json"});
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
  const auto path = dir.Write("OBJEX.GFF", authoring::WriteContainer({{kTagOjff, {{3, std::vector<std::uint8_t>(16)}}}}));
  const karst::testing::ProgramResult result = karst::testing::RunProgram(KARST_GFF_PATH, {"info", path.string()});
  ASSERT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("1 chunk type record"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("\"OJFF\"  count 1  flags 0x0000  plain  1 entry"), std::string::npos) << result.output;
  EXPECT_NE(result.output.find("number 3  offset 46  size 16"), std::string::npos) << result.output;
}

TEST(GffInfo, ErrorsNameTheFileAndBadUsageExitsTwo) {
  karst::testing::TempDir dir;
  const auto notContainer = dir.Write("NOTGFF.GFF", std::array<std::uint8_t, 20>{'G', 'F', 'F', 'X'});
  karst::testing::ProgramResult result = karst::testing::RunProgram(KARST_GFF_PATH, {"info", notContainer.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(notContainer.string()), std::string::npos) << result.errorOutput;
  EXPECT_EQ(result.output, "");

  const std::string missing = (dir.path() / "MISSING.GFF").string();
  result = karst::testing::RunProgram(KARST_GFF_PATH, {"info", missing});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(missing), std::string::npos);

  EXPECT_EQ(karst::testing::RunProgram(KARST_GFF_PATH, {}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(KARST_GFF_PATH, {"info"}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(KARST_GFF_PATH, {"frobnicate"}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(KARST_GFF_PATH, {"info", missing, "--bogus"}).exitCode, 2);

  result = karst::testing::RunProgram(KARST_GFF_PATH, {"info", "--help"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("Examples:"), std::string::npos);
}

}  // namespace
}  // namespace karst
