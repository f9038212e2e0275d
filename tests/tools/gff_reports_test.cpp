// karst-gff's machine-readable answers, run as a program: objects over a library with every kind
// of definition and bitmap, check --json against the text form on damaged sample worlds, and info
// over several files.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/byte_writer.h"
#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/inspect/game_check.h"

namespace karst {
namespace {

using authoring::IndexedImage;
using karst::testing::OutputLines;
using karst::testing::ProgramResult;
using karst::testing::RunProgram;
using karst::testing::TempDir;
using nlohmann::json;
using Bytes = std::vector<std::uint8_t>;

// A 16-byte definition with every field set, so that each one is seen to land in its own key.
Bytes Definition(std::uint16_t bitmapId, std::uint16_t seed) {
  authoring::ByteWriter bytes;
  bytes.u16le(seed);                                  // word0
  bytes.u16le(static_cast<std::uint16_t>(seed + 1));  // hotspotX
  bytes.u16le(static_cast<std::uint16_t>(seed + 2));  // hotspotY
  bytes.u16le(static_cast<std::uint16_t>(seed + 3));  // word6
  bytes.u16le(static_cast<std::uint16_t>(seed + 4));  // word8
  bytes.u8(static_cast<std::uint8_t>(seed + 5));      // byte10
  bytes.u8(static_cast<std::uint8_t>(seed + 6));      // byte11
  bytes.u16le(bitmapId);                              // bitmapId
  bytes.u16le(static_cast<std::uint16_t>(seed + 7));  // word14
  return bytes.data();
}

Bytes Bitmap(const std::vector<Bytes>& frames) { return *authoring::WriteFrameSetPayload(frames); }

IndexedImage Image(std::uint32_t width, std::uint32_t height) {
  IndexedImage image{width, height, {}};
  for (std::uint32_t i = 0; i < width * height; ++i) {
    image.pixels.push_back(static_cast<std::uint8_t>(1 + i % 3));
  }
  return image;
}

// A frame with a tag no decoder knows, one byte of it outside ASCII: width 3, height 2, the tagged
// marker, "WXY\x80", one byte more so that it is not the blank frame's last five bytes.
const Bytes kUnknownFrame = {3, 0, 2, 0, 255, 'W', 'X', 'Y', 0x80, 0};

// What `objects --json` gives for a valid definition made by Definition(bitmapId, seed).
json Listed(std::uint32_t id, std::uint16_t bitmapId, std::uint16_t seed, json frames, json width, json height,
            json encoding) {
  const auto word = [seed](unsigned k) { return (seed + k) & 0xFFFFu; };
  const auto byte = [seed](unsigned k) { return (seed + k) & 0xFFu; };
  return {{"id", id},          {"valid", true},    {"word0", word(0)},  {"hotspotX", word(1)}, {"hotspotY", word(2)},
          {"word6", word(3)},  {"word8", word(4)}, {"byte10", byte(5)}, {"byte11", byte(6)},   {"bitmapId", bitmapId},
          {"word14", word(7)}, {"frames", frames}, {"width", width},    {"height", height},    {"encoding", encoding}};
}

TEST(GffObjects, ListsEveryDefinitionInKeyOrderWithItsBitmap) {
  TempDir dir;
  const auto library = dir.Write(
      "OBJEX.GFF",
      authoring::WriteContainer({
          {kTagOjff,
           {{1, Definition(10, 100)},
            {2, Definition(11, 200)},
            {3, Definition(12, 300)},
            {4, Definition(13, 400)},
            {5, Definition(99, 500)},
            {6, Definition(14, 600)},
            {7, Bytes(12, 0)},
            {8, Definition(15, 0xFFFF)},
            {0xFFFFFFFFu, Bytes(17, 0)},
            {0x80000000u, Definition(10, 0)}}},
          {kTagBmp,
           {{10, Bitmap({*authoring::EncodeNrmlFrame(Image(8, 6)), *authoring::EncodePlanFrame(Image(2, 2))})},
            {11, Bitmap({*authoring::EncodePlanFrame(Image(5, 4))})},
            {12, Bitmap({*authoring::EncodePlnrFrame(Image(7, 9))})},
            {13, Bitmap({authoring::EncodeBlankFrame(5, 7)})},
            {14, Bitmap({})},
            {15, Bitmap({kUnknownFrame})}}},
      }));
  const json null;
  // In the order of the chunk numbers taken as signed values: 0x80000000 and 0xFFFFFFFF first.
  const json expected = {
      Listed(0x80000000u, 10, 0, 2, 8, 6, "NRML"),
      {{"id", 0xFFFFFFFFu}, {"valid", false}},
      Listed(1, 10, 100, 2, 8, 6, "NRML"),
      Listed(2, 11, 200, 1, 5, 4, "PLAN"),
      Listed(3, 12, 300, 1, 7, 9, "PLNR"),
      Listed(4, 13, 400, 1, 5, 7, null),           // blank: a size, no tag
      Listed(5, 99, 500, null, null, null, null),  // no BMP 99
      Listed(6, 14, 600, 0, null, null, null),     // no frames
      {{"id", 7}, {"valid", false}},
      Listed(8, 15, 0xFFFF, 1, 3, 2, "WXY\u0080"),
  };
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-gff"), {"objects", library.string(), "--json"});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  const json listed = json::parse(result.output);
  EXPECT_EQ(listed.at("file"), library.string());
  ASSERT_EQ(listed.at("objects").size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(listed.at("objects")[i], expected[i]) << "row " << i;
  }
  // The unknown tag is what the viewer would meet: named on standard error.
  EXPECT_NE(result.errorOutput.find(library.string() + ": warning: BMP 15 frame 0: unknown encoding \"WXY\\x80\""),
            std::string::npos)
      << result.errorOutput;

  const ProgramResult text = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"objects", library.string()});
  ASSERT_EQ(text.exitCode, 0);
  EXPECT_EQ(
      text.output,
      "        id  word0  hotspotX  hotspotY  word6  word8  byte10  byte11  bitmapId  word14  frames   size  encoding\n"
      "2147483648      0         1         2      3      4       5       6        10       7       2  8 x 6  NRML\n"
      "4294967295  definition not 16 bytes long\n"
      "         1    100       101       102    103    104     105     106        10     107       2  8 x 6  NRML\n"
      "         2    200       201       202    203    204     205     206        11     207       1  5 x 4  PLAN\n"
      "         3    300       301       302    303    304      49      50        12     307       1  7 x 9  PLNR\n"
      "         4    400       401       402    403    404     149     150        13     407       1  5 x 7  -\n"
      "         5    500       501       502    503    504     249     250        99     507       -      -  -\n"
      "         6    600       601       602    603    604      93      94        14     607       0      -  -\n"
      "         7  definition not 16 bytes long\n"
      "         8  65535         0         1      2      3       4       5        15       6       1  3 x 2  "
      "WXY\\x80\n");
}

// Files that are no library to list: the reason on standard error, nothing on standard output.
TEST(GffObjects, RefusesWhatIsNoLibrary) {
  TempDir dir;
  struct Case {
    std::string name;
    Bytes bytes;
    std::string reason;
  };
  const Case cases[] = {
      {"RGN01.GFF", authoring::WriteContainer({{kTagPal, {{0, Bytes(768, 1)}}}, {kTagBmp, {{1, Bitmap({})}}}}),
       "a region file (it has PAL, TILE or MAP chunks), not an object library; nothing listed"},
      {"EMPTY.GFF", authoring::WriteContainer({{kTagRnme, {{0, {'x'}}}}}),
       "not an object library (no OJFF, BMP or CBMP chunks); nothing listed"},
      {"OBJEX.GFF", Bytes{'G', 'F', 'F', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0},
       "not a GFF container (no \"GFFI\" header, or too short)"},
      {"", {}, "No such file or directory"},
  };
  for (const Case& c : cases) {
    const std::string path = c.name.empty() ? (dir.path() / "NONE.GFF").string() : dir.Write(c.name, c.bytes).string();
    const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"objects", path, "--json"});
    EXPECT_EQ(result.exitCode, 1) << path;
    EXPECT_EQ(result.output, "") << path;
    EXPECT_EQ(result.errorOutput, "karst-gff: " + path + ": " + c.reason + "\n");
  }
}

void Cut(const std::filesystem::path& file, std::uintmax_t size) { std::filesystem::resize_file(file, size); }

void CutInHalf(const std::filesystem::path& file) { Cut(file, std::filesystem::file_size(file) / 2); }

// A copy of the sample world with one fault, the path checked in it ("" for the folder) and one
// finding the fault must give.
struct Damage {
  const char* what;
  void (*damage)(const std::filesystem::path& folder);
  const char* checked;
  const char* file;  // the file the finding is listed under ("" for the folder)
  const char* kind;
  const char* chunk;  // null for a finding about the file
};

const Damage kDamages[] = {
    {"a region cut in half", [](const auto& folder) { CutInHalf(folder / "RGN02.GFF"); }, "", "RGN02.GFF",
     "index-chunk-cut-short", "GFFI 0"},
    {"a region cut inside its directory", [](const auto& folder) { Cut(folder / "RGN01.GFF", 40); }, "", "RGN01.GFF",
     "directory-cut-short", nullptr},
    {"a region that is no container",
     [](const auto& folder) {
       Bytes bytes = karst::testing::ReadFileBytes(folder / "RGN03.GFF");
       bytes[3] = 'X';
       std::filesystem::remove(folder / "RGN03.GFF");
       std::ofstream(folder / "RGN03.GFF", std::ios::binary)
           .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
     },
     "", "RGN03.GFF", "not-container", nullptr},
    {"no library", [](const auto& folder) { std::filesystem::remove(folder / "OBJEX.GFF"); }, "", "OBJEX.GFF",
     "library-missing", nullptr},
    {"a library cut in half", [](const auto& folder) { CutInHalf(folder / "OBJEX.GFF"); }, "", "RGN01.GFF",
     "entity-without-bitmap", "ETAB 5"},
    {"no regions",
     [](const auto& folder) {
       for (const char* name : {"RGN01.GFF", "RGN02.GFF", "RGN03.GFF", "RGN04.GFF"}) {
         std::filesystem::remove(folder / name);
       }
     },
     "", "", "no-regions", nullptr},
    {"one region, cut, alone without a library",
     [](const auto& folder) {
       std::filesystem::remove(folder / "OBJEX.GFF");
       CutInHalf(folder / "RGN04.GFF");
     },
     "RGN04.GFF", "RGN04.GFF", "no-map", nullptr},
};

// Scripts tell findings apart by their kind's name: every kind has its own.
TEST(GffCheckJson, EveryKindHasANameOfItsOwn) {
  std::set<std::string_view> names;
  const auto last = static_cast<int>(tools::FindingKind::kEntityBitmapTooLarge);  // the last kind
  for (int kind = 0; kind <= last; ++kind) {
    const std::string_view name = tools::FindingKindName(static_cast<tools::FindingKind>(kind));
    EXPECT_TRUE(names.insert(name).second) << name;
    EXPECT_EQ(name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string_view::npos) << name;
  }
}

// Both forms of the check say the same: the JSON's findings, file by file, are the text's lines
// in order, each line "FILE: " and the finding's text; the exit status is the same.
TEST(GffCheckJson, AgreesWithTheTextFindingForFinding) {
  for (const Damage& damage : kDamages) {
    TempDir dir;
    const std::filesystem::path folder = dir.path() / "game";
    karst::testing::WriteSampleWorld(folder);
    damage.damage(folder);
    const std::string checked = (std::string(damage.checked).empty() ? folder : folder / damage.checked).string();
    const ProgramResult text = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", checked});
    const ProgramResult machine = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", checked, "--json"});
    EXPECT_EQ(machine.exitCode, text.exitCode) << damage.what;
    std::vector<std::string> lines = OutputLines(text.output);
    ASSERT_FALSE(lines.empty()) << damage.what;
    lines.pop_back();  // the summary
    std::erase_if(lines, [](const std::string& line) { return line.rfind("note: ", 0) == 0; });

    const json files = json::parse(machine.output).at("files");
    std::vector<std::string> fromJson;
    const std::string wantedFile = std::string(damage.file).empty() ? folder.string() : (folder / damage.file).string();
    const json wantedChunk = damage.chunk ? json(damage.chunk) : json();
    bool wantedFound = false;
    for (const json& file : files) {
      for (const json& finding : file.at("findings")) {
        const std::string line = finding.at("text").get<std::string>();
        fromJson.push_back(file.at("file").get<std::string>() + ": " + line);
        // The chunk a finding names is where its line begins.
        if (!finding.at("chunk").is_null()) {
          EXPECT_EQ(line.rfind(finding.at("chunk").get<std::string>(), 0), 0u) << damage.what << ": " << line;
        }
        wantedFound = wantedFound || (file.at("file") == wantedFile && finding.at("kind") == damage.kind &&
                                      finding.at("chunk") == wantedChunk);
      }
    }
    EXPECT_EQ(fromJson, lines) << damage.what;
    EXPECT_TRUE(wantedFound) << damage.what << ": no " << damage.kind << " in\n" << machine.output;
  }
}

// info over several files: each listed in turn, the unreadable one named on standard error and
// left out, exit status 1; with --json an array of the objects a single file gives.
TEST(GffInfo, SeveralFilesOneMissing) {
  TempDir dir;
  const std::string first = dir.Write("A.GFF", authoring::WriteContainer({{kTagTile, {{9, {1, 2, 3}}}}})).string();
  const std::string second = dir.Write("B.GFF", authoring::WriteContainer({{kTagRnme, {{0, {'x'}}}}})).string();
  const std::string missing = (dir.path() / "NONE.GFF").string();
  const std::string missingLine = "karst-gff: " + missing + ": No such file or directory\n";

  ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"info", first, missing, second});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.errorOutput, missingLine);
  const std::vector<std::string> lines = OutputLines(result.output);
  ASSERT_EQ(lines.size(), 7u) << result.output;
  EXPECT_EQ(lines[0], first + ": 1 chunk type record");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], second + ": 1 chunk type record");

  struct Case {
    std::vector<std::string> files;
    int exitCode;
    std::vector<std::string> listed;  // "file" of each object, in order
    bool array;
  };
  const Case cases[] = {
      {{first}, 0, {first}, false},
      {{first, second}, 0, {first, second}, true},
      {{missing, second}, 1, {second}, true},
      {{missing, missing}, 1, {}, true},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"info"};
    arguments.insert(arguments.end(), c.files.begin(), c.files.end());
    arguments.push_back("--json");
    result = RunProgram(karst::testing::BuiltProgram("karst-gff"), arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.files.size();
    const json described = json::parse(result.output);
    ASSERT_EQ(described.is_array(), c.array) << result.output;
    const json list = c.array ? described : json::array({described});
    ASSERT_EQ(list.size(), c.listed.size()) << result.output;
    for (std::size_t i = 0; i < list.size(); ++i) {
      EXPECT_EQ(list[i].at("file"), c.listed[i]);
      EXPECT_EQ(list[i].at("types")[0].at("tag"), c.listed[i] == first ? "TILE" : "RNME");
    }
  }
}

}  // namespace
}  // namespace karst
