// The atlas's own rules, in process: which marker lines are believed (never one that leads out of
// the site), what a folder at the site's place is taken for, and how thumbnails are reduced.
#include "tools/render/atlas_site.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace karst::tools {
namespace {

using karst::testing::TempDir;

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(AtlasMarker, KeepsOnlyLinesThatStayInsideTheSite) {
  const std::string head = MarkerText({});
  struct Case {
    std::string line;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"index.html", true},
      {"maps/RGN01.png", true},
      {"data/RGN 01.js", true},
      {"../victim", false},
      {"/etc/passwd", false},
      {"maps/../../victim", false},
      {"maps//x.png", false},
      {"./index.html", false},
      {"a/b/c.png", false},
      {"maps/", false},
      {"data\\..\\victim", false},
      {".karst-atlas", false},
      {"", false},
  };
  for (const Case& entry : cases) {
    const std::optional<std::vector<std::string>> files = ParseMarker(head + entry.line + "\n");
    ASSERT_TRUE(files) << entry.line;
    EXPECT_EQ(files->size(), entry.kept ? 1u : 0u) << entry.line;
  }
}

TEST(AtlasMarker, ReadsBackWhatItWroteAndNothingElse) {
  const std::vector<std::string> files = {"index.html", "maps/RGN01.png", "thumbs/RGN01.png"};
  EXPECT_EQ(ParseMarker(MarkerText(files)), files);
  EXPECT_EQ(ParseMarker(MarkerText({files[2], files[0], files[1], files[0]})), files);
  // The last line may lack its line end.
  std::string text = MarkerText(files);
  text.pop_back();
  EXPECT_EQ(ParseMarker(text), files);
  for (const std::string foreign : {"", "index.html\n", "karst-render atlas\nindex.html\n"}) {
    EXPECT_FALSE(ParseMarker(foreign)) << foreign;
  }
}

TEST(AtlasSiteFolder, TellsWhatMayBeReplaced) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "empty");
  std::filesystem::create_directory(dir.path() / "ours");
  std::filesystem::create_directory(dir.path() / "ours" / "maps");
  dir.Write("ours/.karst-atlas", Bytes(MarkerText({"index.html", "maps/RGN01.png"})));
  std::filesystem::create_directory(dir.path() / "foreign");
  dir.Write("foreign/notes.txt", Bytes("mine"));
  std::filesystem::create_directory(dir.path() / "forged");
  dir.Write("forged/.karst-atlas", Bytes("index.html\n"));
  dir.Write("file", Bytes("a file"));
  struct Case {
    std::string name;
    SiteFolder::Kind kind;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {"missing", SiteFolder::Kind::kAbsent, {}},
      {"empty", SiteFolder::Kind::kEmpty, {}},
      {"ours", SiteFolder::Kind::kOurs, {"index.html", "maps/RGN01.png"}},
      {"foreign", SiteFolder::Kind::kForeign, {}},
      {"forged", SiteFolder::Kind::kForeign, {}},
      {"file", SiteFolder::Kind::kForeign, {}},
  };
  for (const Case& entry : cases) {
    const SiteFolder folder = InspectSiteFolder((dir.path() / entry.name).string());
    EXPECT_EQ(folder.kind, entry.kind) << entry.name;
    EXPECT_EQ(folder.files, entry.files) << entry.name;
    EXPECT_EQ(folder.reason.empty(), entry.kind != SiteFolder::Kind::kForeign) << entry.name;
  }
}

TEST(AtlasThumbnail, ReducesByTheSmallestWholeFactorThatFits) {
  struct Case {
    std::uint32_t width, height, thumbnailWidth, thumbnailHeight, factor;
  };
  const std::vector<Case> cases = {
      {2048, 1536, 256, 192, 8}, {256, 256, 256, 256, 1}, {257, 10, 129, 5, 2}, {10, 513, 4, 171, 3}, {1, 1, 1, 1, 1},
  };
  for (const Case& entry : cases) {
    RegionPicture picture;
    picture.width = entry.width;
    picture.height = entry.height;
    picture.palette[5] = 9;
    for (std::uint32_t y = 0; y < entry.height; ++y) {
      for (std::uint32_t x = 0; x < entry.width; ++x) {
        picture.pixels.push_back(static_cast<std::uint8_t>(x * 7 + y * 13));
      }
    }
    const RegionPicture thumbnail = Thumbnail(picture);
    EXPECT_EQ(thumbnail.width, entry.thumbnailWidth) << entry.width << "x" << entry.height;
    EXPECT_EQ(thumbnail.height, entry.thumbnailHeight) << entry.width << "x" << entry.height;
    ASSERT_EQ(thumbnail.pixels.size(), std::size_t{entry.thumbnailWidth} * entry.thumbnailHeight);
    EXPECT_EQ(thumbnail.palette, picture.palette);
    // Every thumbnail pixel is the top-left one of its square.
    const std::uint32_t x = entry.thumbnailWidth - 1;
    const std::uint32_t y = entry.thumbnailHeight - 1;
    EXPECT_EQ(thumbnail.pixels.back(), static_cast<std::uint8_t>(x * entry.factor * 7 + y * entry.factor * 13));
  }
}

TEST(AtlasScript, CallsThePageWithTheJsonAsItIs) {
  EXPECT_EQ(ScriptCall("index", {"{\"a\":1}"}), "karstAtlas.index({\"a\":1});\n");
  EXPECT_EQ(ScriptCall("region", {"\"RGN01\"", "[]"}), "karstAtlas.region(\"RGN01\",[]);\n");
}

}  // namespace
}  // namespace karst::tools
