// karst-gff check, run as a program on game folders written by authoring/: every planted fault is
// found, in its own region, with its chunk; a clean world gives no finding.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/sample_world.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using authoring::ChunkTypeSpec;
using authoring::IndexedImage;
using karst::testing::OutputLines;
using karst::testing::ProgramResult;
using karst::testing::RunProgram;
using karst::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

IndexedImage Image(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  IndexedImage image{width, height, {}};
  for (std::uint32_t i = 0; i < width * height; ++i) {
    image.pixels.push_back(static_cast<std::uint8_t>(seed + i % 5));
  }
  return image;
}

Bytes Nrml(const IndexedImage& image) { return *authoring::EncodeNrmlFrame(image); }

Bytes FrameSetBytes(const std::vector<Bytes>& frames) { return *authoring::WriteFrameSetPayload(frames); }

Bytes Tile(std::uint8_t seed) { return FrameSetBytes({Nrml(Image(16, 16, seed))}); }

// The parts of a region file, clean unless a test changes one; a missing value leaves the chunk
// out. Tiles are TILE 20, 21, ...; every other chunk is number 0.
struct RegionParts {
  std::optional<Bytes> palette = Bytes(768, 21);
  std::vector<Bytes> tiles = {Tile(1), Tile(2)};
  std::optional<Bytes> map = Bytes(kMapBytes, 1);
  std::optional<Bytes> entities = Entity(100, 200, 1);
  Bytes name = {'T', 'e', 's', 't'};

  static Bytes Entity(std::uint16_t x, std::uint16_t y, std::uint16_t objectId) {
    return {static_cast<std::uint8_t>(x),
            static_cast<std::uint8_t>(x >> 8),  // x
            static_cast<std::uint8_t>(y),
            static_cast<std::uint8_t>(y >> 8),  // y
            0,                                  // z
            0,                                  // flags
            static_cast<std::uint8_t>(objectId),
            static_cast<std::uint8_t>(objectId >> 8)};
  }

  Bytes Write() const {
    std::vector<ChunkTypeSpec> types;
    if (palette) {
      types.push_back({kTagPal, {{0, *palette}}});
    }
    if (!tiles.empty()) {
      ChunkTypeSpec tileType{kTagTile, {}};
      for (std::size_t i = 0; i < tiles.size(); ++i) {
        tileType.chunks.push_back({static_cast<std::uint32_t>(20 + i), tiles[i]});
      }
      types.push_back(tileType);
    }
    if (map) {
      types.push_back({kTagMap, {{0, *map}}});
    }
    if (entities) {
      types.push_back({kTagEtab, {{0, *entities}}});
    }
    types.push_back({kTagRnme, {{0, name}}});
    return authoring::WriteContainer(types);
  }
};

Bytes ObjectDef(std::uint16_t bitmapId) {
  Bytes bytes(16, 0);                               // word0, hotspots, words 6 and 8, bytes 10, 11
  bytes[12] = static_cast<std::uint8_t>(bitmapId);  // bitmapId
  bytes[13] = static_cast<std::uint8_t>(bitmapId >> 8);
  return bytes;  // word14 stays 0
}

// Objects 1 (good, BMP 10), 2 (a definition of 12 bytes), 3 (BMP 99, which is missing),
// 4 (BMP 11, no frames), 5 (BMP 12, frame 0 of 0 x 4 pixels), 6 (BMP 13, whose second frame
// is odd).
Bytes FaultyLibrary() {
  // NRML 4 x 1: row 0, one segment of n = 3 whose commands fill 2 and then 3 pixels.
  const Bytes peculiar = {0x04, 0x00, 0x01, 0x00, 0x00,  // width 4, height 1, first row 0
                          0x00, 0x80, 0x03, 0x00,        // x 0, last segment, n 3
                          0x03, 0x09, 0x05, 0x09,        // fill 2 x 9, fill 3 x 9: 5 > 3
                          0xFF};                         // end of frame
  return authoring::WriteContainer({
      {kTagOjff,
       {{1, ObjectDef(10)},
        {2, Bytes(12, 0)},
        {3, ObjectDef(99)},
        {4, ObjectDef(11)},
        {5, ObjectDef(12)},
        {6, ObjectDef(13)}}},
      {kTagBmp,
       {{10, FrameSetBytes({Nrml(Image(8, 8, 3))})},
        {11, FrameSetBytes({})},
        {12, FrameSetBytes({authoring::EncodeBlankFrame(0, 4)})},
        {13, FrameSetBytes({Nrml(Image(8, 8, 3)), peculiar})}}},
  });
}

Bytes CleanLibrary() {
  return authoring::WriteContainer(
      {{kTagOjff, {{1, ObjectDef(10)}}}, {kTagBmp, {{10, FrameSetBytes({Nrml(Image(8, 8, 3))})}}}});
}

// The lines that name `file`.
std::vector<std::string> LinesAbout(const std::string& output, const std::filesystem::path& file) {
  std::vector<std::string> found;
  for (const std::string& line : OutputLines(output)) {
    if (line.rfind(file.string() + ": ", 0) == 0) {
      found.push_back(line.substr(file.string().size() + 2));
    }
  }
  return found;
}

ProgramResult Check(const std::filesystem::path& path) {
  return RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", path.string()});
}

// Gives the length field of a chunk's directory entry a new value. The entry is found by its
// tag, which the test makes sure occurs only in the directory.
void SetChunkSize(Bytes& file, const Tag& tag, std::uint32_t size) {
  for (std::size_t i = 0; i + 20 <= file.size(); ++i) {
    if (file[i] == tag[0] && file[i + 1] == tag[1] && file[i + 2] == tag[2] && file[i + 3] == tag[3]) {
      // tag, u16 count, u16 flags, then the first entry: number, offset, size.
      for (int b = 0; b < 4; ++b) {
        file[i + 16 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(size >> (8 * b));
      }
      return;
    }
  }
  ADD_FAILURE() << "no record " << TagText(tag);
}

TEST(GffCheck, FindsEveryDrawingFaultInItsOwnRegion) {
  TempDir dir;
  const auto library = dir.Write("OBJEX.GFF", FaultyLibrary());
  struct Planted {
    std::string file;
    RegionParts parts;
    std::vector<std::string> findings;
  };
  std::vector<Planted> planted;
  planted.push_back({"RGN01.GFF", RegionParts{}, {}});

  RegionParts beyond;
  beyond.map->at(3 * 128 + 5) = 2;  // column 5, row 3: one past the two tiles
  beyond.map->at(90 * 128 + 7) = 200;
  planted.push_back({"RGN02.GFF",
                     beyond,
                     {"MAP 0: 2 cells name a tile beyond the region's 2 tiles (indices up to 200; first at column "
                      "5, row 3): drawn with tile 0"}});

  RegionParts narrow;
  narrow.tiles[1] = FrameSetBytes({Nrml(Image(8, 16, 4))});
  planted.push_back({"RGN03.GFF",
                     narrow,
                     {"TILE 21 (tile 1): frame 0 is 8 x 16, not 16 x 16: only the part inside 16 x 16 is drawn, "
                      "the rest as index 0"}});

  RegionParts twoFrames;
  twoFrames.tiles[0] = FrameSetBytes({Nrml(Image(16, 16, 4)), Nrml(Image(16, 16, 5))});
  planted.push_back({"RGN04.GFF",
                     twoFrames,
                     {"TILE 20 (tile 0): 2 frames: only frame 0 is drawn (\"Tile with more than one frame!\")"}});

  RegionParts noFrames;
  noFrames.tiles[1] = FrameSetBytes({});
  planted.push_back({"RGN05.GFF", noFrames, {"TILE 21 (tile 1): no frames: drawn as index 0"}});

  RegionParts unknown;
  // A 16 x 16 frame whose byte 4 is 255, followed by the tag "A", ESC, "CD" and nothing else: the
  // escape byte reaches the terminal only as text.
  unknown.tiles[1] = FrameSetBytes({{0x10, 0x00, 0x10, 0x00, 0xFF, 'A', 0x1B, 'C', 'D'}});
  planted.push_back(
      {"RGN06.GFF",
       unknown,
       {"TILE 21 frame 0: unknown encoding \"A\\x1BCD\": drawn as index 0 (\"Unknown type: A\\x1BCD\")"}});

  RegionParts peculiar;
  peculiar.tiles[0] = FrameSetBytes({{0x10, 0x00, 0x10, 0x00, 0x00,  // 16 x 16, first row 0
                                      0x00, 0x80, 0x03, 0x00,        // x 0, last segment, n 3
                                      0x03, 0x09, 0x05, 0x09,        // fill 2, fill 3: 5 pixels
                                      0xFF}});                       // end of frame
  planted.push_back({"RGN07.GFF",
                     peculiar,
                     {"TILE 20 frame 0: an NRML command runs past its segment's pixel count (\"Something "
                      "peculiar happened!\")"}});

  RegionParts outOfData;
  outOfData.tiles[0] = FrameSetBytes({{0x10, 0x00, 0x10, 0x00, 0x00,  // 16 x 16, first row 0
                                       0x00, 0x80, 0x10, 0x00,        // x 0, last segment, n 16
                                       0x1F}});                       // fill 16, its value byte missing
  planted.push_back({"RGN08.GFF",
                     outOfData,
                     {"TILE 20 frame 0: the frame's data ends before the frame does: decoded as far as it goes "
                      "(\"We ran outta space!\")"}});

  RegionParts secondRow;
  secondRow.tiles[1] = FrameSetBytes({{0x10, 0x00, 0x10, 0x00, 0x01,  // 16 x 16, first row 1
                                       0x00, 0x80, 0x01, 0x00,        // x 0, last segment, n 1
                                       0x01, 0x05,                    // fill 1 x 5
                                       0xFF}});                       // end of frame
  planted.push_back(
      {"RGN09.GFF", secondRow, {"TILE 21 frame 0: the first row is not row 0 (\"Y offset: 1 is different!\")"}});

  RegionParts missingObject;
  *missingObject.entities = RegionParts::Entity(100, 200, 1);
  for (const Bytes& entity : {RegionParts::Entity(30, 40, 77), RegionParts::Entity(50, 60, 77)}) {
    missingObject.entities->insert(missingObject.entities->end(), entity.begin(), entity.end());
  }
  planted.push_back({"RGN10.GFF",
                     missingObject,
                     {"ETAB 0: 2 entities name object 77, which the library does not have (no OJFF 77) (first: "
                      "entity 1 at 30, 40): not drawn"}});

  const struct {
    const char* file;
    std::uint16_t objectId;
    const char* finding;
  } objectFaults[] = {
      {"RGN11.GFF", 2,
       "ETAB 0: 1 entity names object 2, whose definition (OJFF 2) is not 16 bytes long (first: entity 0 at 100, "
       "200): not drawn"},
      {"RGN12.GFF", 3,
       "ETAB 0: 1 entity names object 3, whose bitmap 99 the library does not have (no BMP 99) (first: entity 0 at "
       "100, 200): not drawn"},
      {"RGN13.GFF", 4,
       "ETAB 0: 1 entity names object 4, whose bitmap 11 (BMP 11) has no frames (first: entity 0 at 100, 200): not "
       "drawn"},
      {"RGN14.GFF", 5,
       "ETAB 0: 1 entity names object 5, whose bitmap 12 (BMP 12) has no pixels in frame 0 (first: entity 0 at "
       "100, 200): not drawn"},
  };
  for (const auto& fault : objectFaults) {
    RegionParts parts;
    parts.entities = RegionParts::Entity(100, 200, fault.objectId);
    planted.push_back({fault.file, parts, {fault.finding}});
  }

  RegionParts oddTable;
  oddTable.entities->push_back(0);  // 9 bytes
  planted.push_back(
      {"RGN15.GFF", oddTable, {"ETAB 0: 9 bytes, not a multiple of 8: no object of the region is drawn"}});

  // RNME before ETAB, and the name's entry claiming the whole file: its read runs past the end,
  // so the stream fails and the entity table after it is passed over.
  RegionParts cutParts;
  std::vector<ChunkTypeSpec> cutTypes = {
      {kTagPal, {{0, *cutParts.palette}}},
      {kTagTile, {{20, cutParts.tiles[0]}, {21, cutParts.tiles[1]}}},
      {kTagMap, {{0, *cutParts.map}}},
      {kTagRnme, {{0, cutParts.name}}},
      {kTagEtab, {{0, RegionParts::Entity(100, 200, 1)}}},
  };
  Bytes cutFile = authoring::WriteContainer(cutTypes);
  const auto cutSize = static_cast<std::uint32_t>(cutFile.size());
  SetChunkSize(cutFile, kTagRnme, cutSize);

  std::vector<std::filesystem::path> paths;
  for (const Planted& region : planted) {
    paths.push_back(dir.Write(region.file, region.parts.Write()));
  }
  const auto cutPath = dir.Write("RGN16.GFF", cutFile);

  const ProgramResult result = Check(dir.path());
  // Nothing here keeps a region from loading.
  EXPECT_EQ(result.exitCode, 0) << result.output << result.errorOutput;
  EXPECT_EQ(result.errorOutput, "");
  for (std::size_t i = 0; i < planted.size(); ++i) {
    EXPECT_EQ(LinesAbout(result.output, paths[i]), planted[i].findings) << planted[i].file;
  }
  const std::vector<std::string> cutFindings = LinesAbout(result.output, cutPath);
  ASSERT_EQ(cutFindings.size(), 1u) << result.output;
  EXPECT_EQ(cutFindings[0], "RNME 0: runs past the end of the file (offset " + std::to_string(cutSize - 8 - 4) +
                                ", size " + std::to_string(cutSize) + ", file " + std::to_string(cutSize) +
                                " bytes): the missing bytes read as 0; 1 chunk after it is passed over");
  // The library's own finding: the odd second frame of BMP 13, which no region draws.
  EXPECT_EQ(LinesAbout(result.output, library),
            (std::vector<std::string>{"BMP 13 frame 1: an NRML command runs past its segment's pixel count "
                                      "(\"Something peculiar happened!\")"}));
  EXPECT_EQ(OutputLines(result.output).back(), "16 regions checked, 0 would not load, 16 findings");
}

TEST(GffCheck, RegionsTheViewerWouldRejectFailTheCheck) {
  TempDir dir;
  dir.Write("OBJEX.GFF", CleanLibrary());
  RegionParts noPalette;
  noPalette.palette.reset();
  RegionParts shortPalette;
  shortPalette.palette = Bytes(767, 1);
  RegionParts wholePalette;  // just fits
  wholePalette.palette = Bytes(768, 1);
  RegionParts noTiles;
  noTiles.tiles.clear();
  RegionParts shortMap;
  shortMap.map = Bytes(kMapBytes - 1, 0);
  RegionParts wholeMap;  // just fits
  wholeMap.map = Bytes(kMapBytes, 0);
  RegionParts noMap;
  noMap.map.reset();

  const auto notContainer = dir.Write("RGN01.GFF", Bytes{'G', 'F', 'F', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0});
  const struct {
    const char* file;
    const RegionParts* parts;
    std::vector<std::string> findings;
  } regions[] = {
      {"RGN02.GFF", &noPalette, {"no PAL chunk: the region would not load"}},
      {"RGN03.GFF", &shortPalette, {"PAL 0: 767 bytes, under the 768 of a palette: the region would not load"}},
      {"RGN04.GFF", &wholePalette, {}},
      {"RGN05.GFF", &noTiles, {"no TILE chunk: the region would not load"}},
      {"RGN06.GFF", &shortMap, {"MAP 0: 12287 bytes, under the 12288 of a 128 x 96 map: the region would not load"}},
      {"RGN07.GFF", &wholeMap, {}},
      {"RGN08.GFF", &noMap, {"no MAP chunk: the region would not load"}},
  };
  std::vector<std::filesystem::path> paths;
  for (const auto& region : regions) {
    paths.push_back(dir.Write(region.file, region.parts->Write()));
  }

  const ProgramResult result = Check(dir.path());
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_EQ(
      LinesAbout(result.output, notContainer),
      (std::vector<std::string>{"not a GFF container (no \"GFFI\" header, or too short): the region would not load"}));
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(LinesAbout(result.output, paths[i]), regions[i].findings) << regions[i].file;
  }
  EXPECT_EQ(OutputLines(result.output).back(), "8 regions checked, 6 would not load, 6 findings");
}

TEST(GffCheck, AFileCutShortIsNamedWhereTheCutFalls) {
  TempDir dir;
  dir.Write("OBJEX.GFF", CleanLibrary());
  // Indexed tiles: the index chunk that holds their positions is the last thing in the file.
  RegionParts parts;
  Bytes indexed = authoring::WriteContainer({{kTagPal, {{0, *parts.palette}}},
                                             {kTagTile, {{20, parts.tiles[0]}, {21, parts.tiles[1]}}, true},
                                             {kTagMap, {{0, *parts.map}}}});
  indexed.pop_back();
  const auto cutIndex = dir.Write("RGN01.GFF", indexed);
  // Header and directory position only: the directory's length lies beyond the end.
  const auto cutDirectory =
      dir.Write("RGN02.GFF", Bytes{'G', 'F', 'F', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0});
  const ProgramResult result = Check(dir.path());
  EXPECT_EQ(result.exitCode, 1);
  const std::vector<std::string> index = LinesAbout(result.output, cutIndex);
  ASSERT_FALSE(index.empty()) << result.output;
  EXPECT_EQ(index[0].rfind("GFFI 0: index chunk runs past the end of the file (offset ", 0), 0u) << index[0];
  EXPECT_NE(index[0].find("the records indexed by it lose their chunks"), std::string::npos);
  EXPECT_EQ(LinesAbout(result.output, cutDirectory),
            (std::vector<std::string>{
                "directory: runs past the end of the file (position 16, length 0, file 20 bytes): the records it "
                "does not hold whole are lost",
                "no PAL chunk: the region would not load", "no TILE chunk: the region would not load",
                "no MAP chunk: the region would not load"}));
}

TEST(GffCheck, TheSampleWorldIsClean) {
  TempDir dir;
  for (const authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    dir.Write(file.name, file.bytes);
  }
  const ProgramResult result = Check(dir.path());
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, "4 regions checked, 0 would not load, 0 findings\n");
  EXPECT_EQ(result.errorOutput, "");
}

TEST(GffCheck, ALibraryTheViewerCannotStartWithFailsTheCheck) {
  TempDir dir;
  dir.Write("RGN01.GFF", RegionParts{}.Write());
  // No library at all.
  ProgramResult result = Check(dir.path());
  EXPECT_EQ(result.exitCode, 1);
  const auto library = dir.path() / "OBJEX.GFF";
  EXPECT_EQ(LinesAbout(result.output, library),
            (std::vector<std::string>{"missing: the viewer cannot start (\"Unable to initialize DirectDraw and load "
                                      "object data!\")"}));
  EXPECT_EQ(OutputLines(result.output).back(), "1 region checked, 0 would not load, 1 finding");

  // A library without a "BMP " frame set.
  dir.Write("OBJEX.GFF", authoring::WriteContainer({{kTagOjff, {{1, ObjectDef(10)}}}}));
  result = Check(dir.path());
  EXPECT_EQ(result.exitCode, 1);
  const std::vector<std::string> findings = LinesAbout(result.output, library);
  EXPECT_EQ(findings, (std::vector<std::string>{"no BMP frame set: the viewer cannot start (\"Unable to initialize "
                                                "DirectDraw and load object data!\")"}));
  // The region's entity names object 1, whose bitmap 10 is not there.
  EXPECT_EQ(LinesAbout(result.output, dir.path() / "RGN01.GFF").size(), 1u) << result.output;

  // A folder without regions.
  TempDir empty;
  empty.Write("OBJEX.GFF", CleanLibrary());
  result = Check(empty.path());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.output.find(empty.path().string() + ": no region files (RGN*.GFF)"), std::string::npos);
}

TEST(GffCheck, AFileIsCheckedAloneAgainstTheLibraryBesideIt) {
  TempDir dir;
  dir.Write("OBJEX.GFF", FaultyLibrary());
  RegionParts parts;
  parts.entities = RegionParts::Entity(1, 2, 3);
  const auto region = dir.Write("RGN07.GFF", parts.Write());
  dir.Write("RGN01.GFF", Bytes{'G', 'F', 'F', 'X'});  // not looked at

  ProgramResult result = Check(region);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.output, region.string() +
                               ": ETAB 0: 1 entity names object 3, whose bitmap 99 the library does not have (no BMP "
                               "99) (first: entity 0 at 1, 2): not drawn\n"
                               "1 region checked, 0 would not load, 1 finding\n");

  // The library by its name, and by its content under another name.
  result = Check(dir.path() / "OBJEX.GFF");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(OutputLines(result.output).size(), 2u) << result.output;
  EXPECT_EQ(OutputLines(result.output).back(), "the object library checked, 1 finding");
  const auto renamed = dir.Write("LIBRARY.GFF", FaultyLibrary());
  EXPECT_EQ(OutputLines(Check(renamed).output).back(), "the object library checked, 1 finding");
  // One the viewer could not start with says so.
  TempDir other;
  const auto useless = other.Write("OBJEX.GFF", authoring::WriteContainer({{kTagOjff, {{1, ObjectDef(10)}}}}));
  result = Check(useless);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(OutputLines(result.output).back(),
            "the object library checked, the viewer could not start with it, 1 finding");

  // Without a library beside it the entities are not checked, and that is said.
  TempDir alone;
  const auto lonely = alone.Write("RGN01.GFF", parts.Write());
  result = Check(lonely);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("note: no readable OBJEX.GFF beside " + lonely.string()), std::string::npos);
  EXPECT_EQ(OutputLines(result.output).back(), "1 region checked, 0 would not load, 0 findings");

  // A region that would not load fails the check.
  RegionParts broken;
  broken.tiles.clear();
  result = Check(alone.Write("RGN02.GFF", broken.Write()));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(OutputLines(result.output).back(), "1 region checked, 1 would not load, 1 finding");
}

TEST(GffCheck, BadUsageExitsTwoAndAMissingPathOne) {
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check"}).exitCode, 2);
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", "a", "b"}).exitCode, 2);
  EXPECT_EQ(RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", "a", "--bogus"}).exitCode, 2);
  TempDir dir;
  const auto missing = dir.path() / "nowhere";
  const ProgramResult result = Check(missing);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("karst-gff: " + missing.string() + ": No such file or directory"),
            std::string::npos);
  EXPECT_EQ(result.output, "");
  const ProgramResult help = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.output.find("karst-gff check ~/game"), std::string::npos);
}

}  // namespace
}  // namespace karst
