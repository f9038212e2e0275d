// karst-gff unpack and pack as programs: a game folder round trip, edits that karst-render then
// draws exactly where they are, refusals that leave every file as it was, and which files are
// written, replaced and refused: two unpacks of one file never undo each other's pack, a folder
// of unpacks writes all or nothing, single files of a folder are restored without touching the
// other edits, and a folder that was just packed may be unpacked over.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/true_colour_png.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

namespace fs = std::filesystem;
using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::TempDir;

ProgramResult Gff(const std::vector<std::string>& arguments) {
  return testing::RunProgram(testing::BuiltProgram("karst-gff"), arguments);
}

// Every file under `root` with its bytes.
std::map<std::string, std::vector<std::uint8_t>> FolderSnapshot(const fs::path& root) {
  std::map<std::string, std::vector<std::uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), root).generic_string()] = ReadFileBytes(entry.path());
    }
  }
  return files;
}

TEST(PackCommand, AGameFolderPacksBackFileByFile) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string game = (dir.path() / "game").string();
  const std::string unpacked = (dir.path() / "unpacked").string();
  ASSERT_EQ(Gff({"unpack", game, "-o", unpacked}).exitCode, 0);
  const ProgramResult packed = Gff({"pack", unpacked, "-o", (dir.path() / "out").string()});
  ASSERT_EQ(packed.exitCode, 0) << packed.errorOutput;
  const auto original = FolderSnapshot(dir.path() / "game");
  EXPECT_EQ(FolderSnapshot(dir.path() / "out"), original);
  // An unchanged unpack may be unpacked over.
  EXPECT_EQ(Gff({"unpack", game, "-o", unpacked}).exitCode, 0);
  EXPECT_TRUE(fs::exists(dir.path() / "unpacked" / "RGN01" / "frames"));
  EXPECT_TRUE(fs::exists(dir.path() / "unpacked" / "OBJEX" / "objects.json"));
}

TEST(PackCommand, RefusalsLeaveEveryFileAsItWas) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string region = (dir.path() / "game" / "RGN01.GFF").string();
  const std::string folder = (dir.path() / "rgn01").string();
  ASSERT_EQ(Gff({"unpack", region, "-o", folder}).exitCode, 0);
  dir.Write("rgn01/name.txt", std::vector<std::uint8_t>{'N', 'e', 'w'});
  dir.Write("notes.txt", std::vector<std::uint8_t>{'x'});
  struct Refusal {
    std::vector<std::string> arguments;
    const char* says;
  };
  const std::vector<Refusal> refusals = {
      {{"unpack", region, "-o", folder}, "files were changed (name.txt)"},
      {{"unpack", region, "-o", dir.path().string()}, "no manifest.json"},
      {{"pack", folder, "-o", region}, "exists; --replace keeps it"},
      {{"pack", (dir.path() / "game").string(), "-o", (dir.path() / "x.GFF").string()}, "not a folder that"},
  };
  const auto before = FolderSnapshot(dir.path());
  for (const Refusal& refusal : refusals) {
    const ProgramResult result = Gff(refusal.arguments);
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.errorOutput.find(refusal.says), std::string::npos) << result.errorOutput;
    EXPECT_EQ(FolderSnapshot(dir.path()), before);
  }
  // --replace keeps every file it replaces under a name never used before; a file that already
  // holds the very bytes is left alone, with no copy kept.
  const std::vector<std::uint8_t> original = ReadFileBytes(region);
  ASSERT_EQ(Gff({"pack", folder, "-o", region, "--replace"}).exitCode, 0);
  dir.Write("rgn01/name.txt", std::vector<std::uint8_t>{'N', 'e', 'w', 'e', 'r'});
  ASSERT_EQ(Gff({"pack", folder, "-o", region, "--replace"}).exitCode, 0);
  const std::vector<std::uint8_t> packed = ReadFileBytes(region);
  const ProgramResult again = Gff({"pack", folder, "-o", region, "--replace"});
  EXPECT_EQ(again.exitCode, 0);
  EXPECT_NE(again.output.find("it already holds these very bytes; nothing written"), std::string::npos) << again.output;
  EXPECT_EQ(ReadFileBytes(region + ".orig"), original);
  EXPECT_NE(ReadFileBytes(region + ".orig.2"), original);
  EXPECT_FALSE(fs::exists(region + ".orig.3"));
  EXPECT_EQ(ReadFileBytes(region), packed);
  EXPECT_NE(packed, original);
}

// POSIX only: symbolic links need privileges on Windows.
#ifndef _WIN32
TEST(PackCommand, LinksLeadingOutOfTheFolderAreRefused) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string folder = (dir.path() / "rgn01").string();
  ASSERT_EQ(Gff({"unpack", (dir.path() / "game" / "RGN01.GFF").string(), "-o", folder}).exitCode, 0);
  fs::remove(dir.path() / "rgn01" / "name.txt");
  dir.Write("outside.txt", std::vector<std::uint8_t>{'x'});
  fs::create_symlink(dir.path() / "outside.txt", dir.path() / "rgn01" / "name.txt");
  const ProgramResult result = Gff({"pack", folder, "-o", (dir.path() / "x.GFF").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("name.txt: leads out of the folder through a link"), std::string::npos)
      << result.errorOutput;
  EXPECT_FALSE(fs::exists(dir.path() / "x.GFF"));
}
#endif

testing::RegionSpec DrawnRegion() {
  testing::RegionSpec region;
  region.palette = std::vector<std::uint8_t>(768);
  for (std::size_t i = 0; i < 768; ++i) {
    (*region.palette)[i] = static_cast<std::uint8_t>((i * 37 / 3 + i / 3) & 63);
  }
  region.tiles = {testing::PatternTile(1), testing::PatternTile(90)};
  region.map = std::vector<std::uint8_t>(kMapBytes);
  for (std::size_t i = 0; i < kMapBytes; ++i) {
    (*region.map)[i] = static_cast<std::uint8_t>((i / 3) % 2);
  }
  region.name = "Fen";
  region.entities = {{{100, 100, 0, 0, 3}, {400, 300, 2, 0x80, 3}}};
  return region;
}

authoring::IndexedImage Sprite(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  authoring::IndexedImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = i % 5 == 0 ? 0 : static_cast<std::uint8_t>(seed + i);
  }
  return image;
}

// The library with its "BMP " record indexed.
std::vector<std::uint8_t> IndexedLibrary(const testing::BitmapRecord& bitmap, const testing::ObjectRecord& object) {
  const auto frames = authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(bitmap.image)});
  return authoring::WriteContainer(
      {{kTagBmp, {{bitmap.number, *frames}}, true}, {kTagOjff, {{object.number, testing::ObjectPayload(object)}}}});
}

std::vector<std::uint8_t> Rendered(const TempDir& dir, const fs::path& region) {
  const std::string output = (dir.path() / "render.png").string();
  const ProgramResult result =
      testing::RunProgram(testing::BuiltProgram("karst-render"), {"region", region.string(), "-o", output});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  const auto png = tools::ReadIndexedPng(output);
  return png ? png->pixels : std::vector<std::uint8_t>{};
}

std::vector<std::uint8_t> Composed(const testing::RegionSpec& region, const testing::BitmapRecord& bitmap,
                                   const testing::ObjectRecord& object) {
  testing::Picture picture = testing::ComposeTiles(region, 0, 0, kRegionWidth, kRegionHeight);
  testing::ComposeObjects(picture, region, {bitmap}, {object}, 0, 0);
  return picture.pixels;
}

// A picture written over `path` with the palette (and transparency) the one there has.
void Repaint(const fs::path& path, const authoring::IndexedImage& image, bool clearZero) {
  const auto old = tools::ReadIndexedPng(path.string());
  ASSERT_TRUE(old.has_value());
  fs::remove(path);
  ASSERT_EQ(tools::WriteIndexedPng(path.string(), image.width, image.height, image.pixels, old->palette, 1,
                                   clearZero ? tools::PngTransparency::kIndexZero : tools::PngTransparency::kOpaque),
            "");
}

TEST(PackCommand, AnEditedTileAndSpriteAreDrawnExactlyWhereTheyStand) {
  TempDir dir;
  testing::RegionSpec region = DrawnRegion();
  testing::BitmapRecord bitmap{7, Sprite(8, 12, 20)};
  const testing::ObjectRecord object{3, 4, 10, 7};
  fs::create_directories(dir.path() / "game");
  const fs::path regionFile = dir.Write("game/RGN01.GFF", testing::WriteRegionFile(region));
  dir.Write("game/OBJEX.GFF", IndexedLibrary(bitmap, object));
  ASSERT_EQ(Composed(region, bitmap, object), Rendered(dir, regionFile));
  ASSERT_EQ(Gff({"unpack", (dir.path() / "game").string(), "-o", (dir.path() / "u").string(), "--palette",
                 regionFile.string()})
                .exitCode,
            0);

  region.tiles[1] = testing::PatternTile(140);
  bitmap.image = Sprite(14, 9, 60);
  Repaint(dir.path() / "u" / "RGN01" / "frames" / "TILE-101-0.png", region.tiles[1], false);
  Repaint(dir.path() / "u" / "OBJEX" / "frames" / "BMP-7-0.png", bitmap.image, true);
  const ProgramResult packed = Gff({"pack", (dir.path() / "u").string(), "-o", (dir.path() / "new").string()});
  ASSERT_EQ(packed.exitCode, 0) << packed.errorOutput;
  EXPECT_NE(packed.output.find("TILE-101: from frames/TILE-101-0.png"), std::string::npos) << packed.output;
  EXPECT_EQ(Composed(region, bitmap, object), Rendered(dir, dir.path() / "new" / "RGN01.GFF"));
  const ProgramResult check = Gff({"check", (dir.path() / "new").string()});
  EXPECT_EQ(check.exitCode, 0) << check.output << check.errorOutput;
}

std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// One step of a modder's session in a temporary folder holding the sample world in game/.
struct Step {
  const char* what;
  std::vector<std::string> arguments;  // "@" stands for the temporary folder
  int exitCode;
  std::string says;              // in the output or the errors
  const char* edited = nullptr;  // "A=Text": A/name.txt gets Text before the step
};

std::vector<std::string> Placed(const TempDir& dir, const std::vector<std::string>& arguments) {
  std::vector<std::string> placed;
  for (const std::string& argument : arguments) {
    placed.push_back(argument.starts_with("@") ? (dir.path() / argument.substr(1)).string() : argument);
  }
  return placed;
}

void RunSteps(const TempDir& dir, const std::vector<Step>& steps) {
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.edited != nullptr) {
      const std::string edit = step.edited;
      dir.Write(edit.substr(0, edit.find('=')) + "/name.txt", Text(edit.substr(edit.find('=') + 1)));
    }
    const ProgramResult result = Gff(Placed(dir, step.arguments));
    EXPECT_EQ(result.exitCode, step.exitCode) << result.output << result.errorOutput;
    EXPECT_NE((result.output + result.errorOutput).find(step.says), std::string::npos)
        << result.output << result.errorOutput;
  }
}

TEST(PackCommand, ReplaceTakesOnlyTheUnpackedBytesOrTheFolderOwnLastPack) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const fs::path region = dir.path() / "game" / "RGN01.GFF";
  const std::vector<std::uint8_t> original = ReadFileBytes(region);
  const char* kChanged = "changed since this folder was unpacked or last packed; packing would undo those changes";
  RunSteps(dir,
           {
               {"unpack A", {"unpack", "@game/RGN01.GFF", "-o", "@A"}, 0, "-> "},
               {"unpack B", {"unpack", "@game/RGN01.GFF", "-o", "@B"}, 0, "-> "},
               {"A packs over the file it came from",
                {"pack", "@A", "-o", "@game/RGN01.GFF", "--replace"},
                0,
                "RNME-10: from name.txt",
                "A=Aaa"},
               {"B may not undo A's pack", {"pack", "@B", "-o", "@game/RGN01.GFF", "--replace"}, 1, kChanged, "B=Bbb"},
               {"A edits and packs again without a flag",
                {"pack", "@A", "-o", "@game/RGN01.GFF", "--replace"},
                0,
                "RGN01.GFF.orig.2",
                "A=Aaaa"},
               {"A packs elsewhere", {"pack", "@A", "-o", "@try.GFF"}, 0, "try.GFF"},
               {"and still back over its own last pack",
                {"pack", "@A", "-o", "@game/RGN01.GFF", "--replace"},
                0,
                "RGN01.GFF.orig.3",
                "A=Aaaaa"},
               {"another game file is no file A came from",
                {"pack", "@A", "-o", "@game/RGN02.GFF", "--replace"},
                1,
                "--overwrite-changed"},
               {"the refusal needs --replace to be lifted",
                {"pack", "@B", "-o", "@game/RGN01.GFF", "--overwrite-changed"},
                2,
                "requires --replace"},
               {"B overwrites on purpose",
                {"pack", "@B", "-o", "@game/RGN01.GFF", "--replace", "--overwrite-changed"},
                0,
                "RGN01.GFF.orig.4"},
               {"now A may not undo B's", {"pack", "@A", "-o", "@game/RGN01.GFF", "--replace"}, 1, kChanged},
           });
  EXPECT_EQ(ReadFileBytes(region.string() + ".orig"), original);
  // Another program's change is refused as well, naming the file.
  dir.Write("A/name.txt", Text("Zed"));
  ASSERT_EQ(
      Gff({"pack", (dir.path() / "A").string(), "-o", region.string(), "--replace", "--overwrite-changed"}).exitCode,
      0);
  std::vector<std::uint8_t> touched = ReadFileBytes(region);
  touched.push_back(0);
  dir.Write("game/RGN01.GFF", touched);
  const ProgramResult refused = Gff({"pack", (dir.path() / "A").string(), "-o", region.string(), "--replace"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.errorOutput.find(region.string() + ": " + kChanged), std::string::npos) << refused.errorOutput;
  EXPECT_EQ(ReadFileBytes(region), touched);
}

TEST(PackCommand, AFolderOfUnpacksAimingTwiceAtOneNameWritesNothing) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  ASSERT_EQ(Gff({"unpack", (dir.path() / "game").string(), "-o", (dir.path() / "work").string()}).exitCode, 0);
  // A copy of RGN02's unpack whose manifest names its source in lower case: the sixth folder.
  fs::copy(dir.path() / "work" / "RGN02", dir.path() / "work" / "Zcopy", fs::copy_options::recursive);
  const std::vector<std::uint8_t> manifest = ReadFileBytes(dir.path() / "work" / "Zcopy" / "manifest.json");
  std::string text(manifest.begin(), manifest.end());
  const std::string source = "\"source\": \"RGN02.GFF\"";
  ASSERT_NE(text.find(source), std::string::npos);
  text.replace(text.find(source), source.size(), "\"source\": \"rgn02.gff\"");
  dir.Write("work/Zcopy/manifest.json", Text(text));

  const ProgramResult result = Gff({"pack", (dir.path() / "work").string(), "-o", (dir.path() / "new").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find("both " + (dir.path() / "work" / "RGN02").string() + " and " +
                                    (dir.path() / "work" / "Zcopy").string()),
            std::string::npos)
      << result.errorOutput;
  EXPECT_FALSE(fs::exists(dir.path() / "new"));
}

TEST(PackCommand, RestoringFilesLeavesTheOtherEdits) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string region = (dir.path() / "game" / "RGN01.GFF").string();
  const std::string folder = (dir.path() / "A").string();
  ASSERT_EQ(Gff({"unpack", region, "-o", folder}).exitCode, 0);
  const fs::path frame = *fs::directory_iterator(dir.path() / "A" / "frames");
  const std::string frameName = "frames/" + frame.filename().string();
  const std::vector<std::uint8_t> unpackedFrame = ReadFileBytes(frame);
  const std::vector<std::uint8_t> unpackedPalette = ReadFileBytes(dir.path() / "A" / "palette.gpl");
  dir.Write("A/name.txt", Text("Kept"));
  fs::remove(frame);
  dir.Write("A/palette.gpl", Text("spoiled"));

  // Both refusals name the way forward.
  const ProgramResult pack = Gff({"pack", folder, "-o", (dir.path() / "out.GFF").string()});
  EXPECT_EQ(pack.exitCode, 1);
  EXPECT_NE(pack.errorOutput.find("karst-gff unpack RGN01.GFF -o " + folder + " --restore"), std::string::npos)
      << pack.errorOutput;
  const ProgramResult unpack = Gff({"unpack", region, "-o", folder});
  EXPECT_EQ(unpack.exitCode, 1);
  EXPECT_NE(unpack.errorOutput.find("--restore FILE..."), std::string::npos) << unpack.errorOutput;

  // A path from the folder, or from the current one through the folder.
  const ProgramResult restored =
      Gff({"unpack", region, "-o", folder, "--restore", frameName, (dir.path() / "A" / "palette.gpl").string()});
  EXPECT_EQ(restored.exitCode, 0) << restored.errorOutput;
  EXPECT_EQ(ReadFileBytes(frame), unpackedFrame);
  EXPECT_EQ(ReadFileBytes(dir.path() / "A" / "palette.gpl"), unpackedPalette);
  EXPECT_EQ(ReadFileBytes(dir.path() / "A" / "name.txt"), Text("Kept"));
  EXPECT_EQ(restored.output.find("has changed"), std::string::npos) << restored.output;
  const ProgramResult packed = Gff({"pack", folder, "-o", region, "--replace"});
  ASSERT_EQ(packed.exitCode, 0) << packed.errorOutput;
  EXPECT_NE(packed.output.find("RNME-10: from name.txt"), std::string::npos) << packed.output;

  // Restored from the game file as it is now, which is said.
  fs::remove(dir.path() / "A" / "name.txt");
  const ProgramResult later = Gff({"unpack", region, "-o", folder, "--restore", "name.txt"});
  EXPECT_EQ(later.exitCode, 0) << later.errorOutput;
  EXPECT_NE(later.output.find("has changed since " + folder + " was unpacked"), std::string::npos) << later.output;
  EXPECT_EQ(ReadFileBytes(dir.path() / "A" / "name.txt"), Text("Kept"));
  const ProgramResult unknown = Gff({"unpack", region, "-o", folder, "--restore", "frames/none.png"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.errorOutput.find("frames/none.png: no file that unpack writes"), std::string::npos)
      << unknown.errorOutput;

  // A library's sprites come back in the colours the folder was unpacked with, --palette or not.
  const std::string library = (dir.path() / "game" / "OBJEX.GFF").string();
  const std::string sprites = (dir.path() / "L").string();
  ASSERT_EQ(Gff({"unpack", library, "--palette", region, "-o", sprites}).exitCode, 0);
  const fs::path sprite = *fs::directory_iterator(dir.path() / "L" / "frames");
  const std::vector<std::uint8_t> unpackedSprite = ReadFileBytes(sprite);
  fs::remove(sprite);
  EXPECT_EQ(Gff({"unpack", library, "-o", sprites, "--restore", "frames"}).exitCode, 0);
  EXPECT_EQ(ReadFileBytes(sprite), unpackedSprite);
}

TEST(PackCommand, AFolderJustPackedMayBeUnpackedOverUntilItIsEditedAgain) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  const std::string region = (dir.path() / "game" / "RGN01.GFF").string();
  const std::string folder = (dir.path() / "A").string();
  ASSERT_EQ(Gff({"unpack", region, "-o", folder}).exitCode, 0);
  dir.Write("A/name.txt", Text("Packed"));
  ASSERT_EQ(Gff({"pack", folder, "-o", region, "--replace"}).exitCode, 0);
  dir.Write("A/name.txt", Text("Later"));
  const ProgramResult edited = Gff({"unpack", region, "-o", folder});
  EXPECT_EQ(edited.exitCode, 1);
  EXPECT_NE(edited.errorOutput.find("files were changed (name.txt)"), std::string::npos) << edited.errorOutput;
  dir.Write("A/name.txt", Text("Packed"));
  const ProgramResult packed = Gff({"unpack", region, "-o", folder});
  EXPECT_EQ(packed.exitCode, 0) << packed.errorOutput;
  EXPECT_FALSE(fs::exists(dir.path() / "A" / "packed.json"));
  // The new unpack is of the packed file: it is the source now.
  dir.Write("A/name.txt", Text("Next"));
  EXPECT_EQ(Gff({"pack", folder, "-o", region, "--replace"}).exitCode, 0);
}

TEST(PackCommand, NamesAreFoundWithoutRegardToCaseAndKeepTheirKinds) {
  TempDir dir;
  testing::WriteSampleWorld(dir.path() / "game");
  RunSteps(
      dir,
      {
          {"unpack A", {"unpack", "@game/RGN01.GFF", "-o", "@A"}, 0, "-> "},
          {"unpack the library", {"unpack", "@game/OBJEX.GFF", "-o", "@L"}, 0, "-> "},
          {"a name in other case is the file",
           {"pack", "@A", "-o", "@game/rgn01.gff"},
           1,
           "RGN01.GFF (" + (dir.path() / "game/rgn01.gff").string() + ", case ignored): exists",
           "A=Xy"},
          {"and is replaced as that file", {"pack", "@A", "-o", "@game/rgn01.gff", "--replace"}, 0, "RGN01.GFF.orig"},
          {"a library under a region's name",
           {"pack", "@L", "-o", "@game/RGN07.GFF"},
           1,
           "what is packed is an object library"},
          {"a region under the library's name",
           {"pack", "@A", "-o", "@elsewhere/objex.gff"},
           1,
           "what is packed is a region"},
      });
  EXPECT_EQ(testing::FileNamesIn(dir.path() / "game"),
            (std::set<std::string>{"OBJEX.GFF", "RGN01.GFF", "RGN01.GFF.orig", "RGN02.GFF", "RGN03.GFF", "RGN04.GFF"}));
  EXPECT_FALSE(fs::exists(dir.path() / "elsewhere"));
}

// `image` as a paint program saves it as RGB, without transparency: index 0 as `background`, the
// others in the colours of `palette`.
std::vector<std::uint8_t> RgbPng(const authoring::IndexedImage& image, const tools::PngPalette& palette,
                                 const std::array<std::uint8_t, 3>& background) {
  std::vector<std::uint8_t> pixels;
  for (const std::uint8_t index : image.pixels) {
    const std::uint8_t* colour = index == 0 ? background.data() : palette.data() + 3 * index;
    pixels.insert(pixels.end(), colour, colour + 3);
  }
  return testing::TrueColourPngOf(image.width, image.height, pixels, 3);
}

// A sprite widened and saved as RGB loses its transparency: refused, naming the way on; with the
// colour that stood for transparent named, its pixels are transparent again, counted.
TEST(PackCommand, ASpriteSavedWithoutTransparencyKeepsItOrIsRefused) {
  TempDir dir;
  const testing::RegionSpec region = DrawnRegion();
  testing::BitmapRecord bitmap{7, Sprite(8, 12, 20)};
  const testing::ObjectRecord object{3, 4, 10, 7};
  fs::create_directories(dir.path() / "game");
  const fs::path regionFile = dir.Write("game/RGN01.GFF", testing::WriteRegionFile(region));
  const fs::path library = dir.Write("game/OBJEX.GFF", IndexedLibrary(bitmap, object));
  const std::string folder = (dir.path() / "objex").string();
  ASSERT_EQ(Gff({"unpack", library.string(), "--palette", regionFile.string(), "-o", folder}).exitCode, 0);
  const fs::path picture = dir.path() / "objex" / "frames" / "BMP-7-0.png";
  const auto colours = tools::ReadIndexedPng(picture.string());
  ASSERT_TRUE(colours);
  bitmap.image = Sprite(10, 12, 20);  // 24 of its pixels are index 0
  dir.Write("objex/frames/BMP-7-0.png", RgbPng(bitmap.image, colours->palette, {255, 0, 255}));

  const std::string packed = (dir.path() / "OBJEX.GFF").string();
  const ProgramResult refused = Gff({"pack", folder, "-o", packed});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.errorOutput.find("frames/BMP-7-0.png: saved without transparency (no alpha channel, no "
                                     "transparent index), so the frame's 20 transparent pixels would all turn opaque"),
            std::string::npos)
      << refused.errorOutput;
  EXPECT_NE(refused.errorOutput.find("--transparent-colour RRGGBB"), std::string::npos) << refused.errorOutput;
  EXPECT_FALSE(fs::exists(packed));

  const ProgramResult keyed = Gff({"pack", folder, "-o", packed, "--transparent-colour", "FF00ff"});
  ASSERT_EQ(keyed.exitCode, 0) << keyed.errorOutput;
  EXPECT_NE(keyed.output.find("BMP-7: from frames/BMP-7-0.png: 1 frame changed\n  24 pixels of #ff00ff were taken "
                              "as transparent\n"),
            std::string::npos)
      << keyed.output;
  // Drawn by karst-render, the sprite shows the tiles through every one of them: the same colours
  // as the picture composed from the new sprite (a colour may have taken a twin index).
  // Removed first: mingw-w64's copy_file does not overwrite.
  fs::remove(dir.path() / "game" / "OBJEX.GFF");
  fs::copy_file(packed, dir.path() / "game" / "OBJEX.GFF");
  const std::vector<std::uint8_t> drawn = Rendered(dir, regionFile);
  const std::vector<std::uint8_t> expected = Composed(region, bitmap, object);
  const auto png = tools::ReadIndexedPng((dir.path() / "render.png").string());
  ASSERT_TRUE(png);
  ASSERT_EQ(drawn.size(), expected.size());
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    ASSERT_TRUE(std::equal(png->palette.begin() + 3 * drawn[i], png->palette.begin() + 3 * drawn[i] + 3,
                           png->palette.begin() + 3 * expected[i]))
        << "pixel " << i;
  }
}

// A library unpacked without a region's colours has greyscale pictures, and a line says which
// option colours them; with --palette no such line.
TEST(UnpackCommand, GreyscalePicturesNameThePaletteThatColoursThem) {
  TempDir dir;
  const fs::path game = dir.path() / "game";
  testing::WriteSampleWorld(game);
  const std::string note = "note: " + (game / "OBJEX.GFF").string() +
                           ": the pictures are greyscale; unpack again with --palette " +
                           (game / "RGN01.GFF").string() + " to have them in that region's colours\n";
  struct Case {
    std::vector<std::string> arguments;
    bool noted;
  };
  const std::vector<Case> cases = {
      {{"unpack", game.string(), "-o", (dir.path() / "all").string()}, true},
      {{"unpack", (game / "OBJEX.GFF").string(), "-o", (dir.path() / "objex").string()}, true},
      {{"unpack", game.string(), "-o", (dir.path() / "coloured").string(), "--palette", (game / "RGN02.GFF").string()},
       false},
  };
  for (const Case& c : cases) {
    const ProgramResult result = Gff(c.arguments);
    ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_EQ(result.output.find(note) != std::string::npos, c.noted) << result.output;
    EXPECT_EQ(result.output.find("greyscale") != std::string::npos, c.noted) << result.output;
  }
}

}  // namespace
}  // namespace karst
