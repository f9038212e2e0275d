// The region list: a region the viewer would refuse is kept with the check's words for why, a
// region that loads has its name, and the filter matches file names and names without regard to
// case, Latin-1 names included.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/recording_context.h"
#include "tests/support/temp_dir.h"
#include "workbench/model/folder_regions.h"

namespace karst::workbench {
namespace {

namespace fs = std::filesystem;

TEST(RegionList, EachRegionSaysWhetherItLoadsAndWhyNot) {
  const testing::TempDir dir;
  testing::WriteSampleWorld(dir.path());
  std::ofstream(dir.path() / "RGN05.GFF") << "no container";
  // A container cut short inside its directory.
  const std::vector<std::uint8_t> whole = testing::ReadFileBytes(dir.path() / "RGN01.GFF");
  dir.Write("RGN06.GFF", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 40));
  const std::vector<std::string> paths = {(dir.path() / "RGN01.GFF").string(), (dir.path() / "RGN05.GFF").string(),
                                          (dir.path() / "RGN06.GFF").string()};
  testing::RecordingContext recording(std::nullopt);
  const std::vector<RegionStatus> regions =
      ScanRegions(paths, (dir.path() / "OBJEX.GFF").string(), recording.context());
  ASSERT_EQ(regions.size(), 3u);
  EXPECT_TRUE(regions[0].loads);
  EXPECT_EQ(regions[0].file, "RGN01.GFF");
  EXPECT_FALSE(regions[0].name.empty());
  EXPECT_EQ(regions[0].why, "");
  for (const RegionStatus& refused : {regions[1], regions[2]}) {
    SCOPED_TRACE(refused.file);
    EXPECT_FALSE(refused.loads);
    EXPECT_EQ(refused.name, "");
    EXPECT_NE(refused.why.find("the region would not load"), std::string::npos) << refused.why;
  }
  EXPECT_EQ(recording.reports().back().done, 3u);

  testing::RecordingContext cancelling(1);
  EXPECT_EQ(ScanRegions(paths, "", cancelling.context()).size(), 1u);
}

TEST(RegionList, TheFilterMatchesFileOrNameIgnoringCase) {
  std::vector<RegionStatus> regions(3);
  regions[0].file = "RGN01.GFF";
  regions[0].rawName = "Green Meadow";
  regions[1].file = "RGN02.GFF";
  regions[1].rawName = "\xC9toile du d\xC9sert";  // "Étoile du dÉsert" in Latin-1
  regions[2].file = "rgn10.gff";
  struct Case {
    const char* filter;
    std::vector<std::size_t> kept;
  };
  const Case cases[] = {
      {"", {0, 1, 2}}, {"  ", {0, 1, 2}},     {"rgn0", {0, 1}}, {"RGN1", {2}},     {" meadow ", {0}},
      {"MEAD", {0}},   {"étoile", {1}},       {"DÉSERT", {1}},  {"\xC9toile", {}}, {"gff", {0, 1, 2}},
      {"meadows", {}}, {"Green Meadow", {0}}, {"€", {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.filter);
    EXPECT_EQ(FilterRegions(regions, test.filter), test.kept);
  }
}

}  // namespace
}  // namespace karst::workbench
