// The workbench's exports: the region picture is the very file `karst-render region` writes, a
// cancelled export leaves no file, a refused output is named in the summary with nothing written,
// and an object's frames are those `karst-render frames` writes for its bitmap, in the region's
// colours.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/built_programs.h"
#include "tests/support/recording_context.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "workbench/model/export_jobs.h"
#include "workbench/model/object_entries.h"

namespace karst::workbench {
namespace {

namespace fs = std::filesystem;
using testing::FileNamesIn;
using testing::ReadFileBytes;
using testing::TempDir;

struct ExportWorld {
  TempDir dir;
  fs::path world = dir.path() / "world";
  fs::path out = dir.path() / "out";
  ExportWorld() {
    testing::WriteSampleWorld(world);
    fs::create_directory(out);
  }
};

bool Holds(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(RegionExport, WritesWhatTheRenderCommandWrites) {
  const ExportWorld world;
  for (const bool objectsShown : {true, false}) {
    SCOPED_TRACE(objectsShown);
    const std::string region = (world.world / "RGN02.GFF").string();
    const std::string ours = (world.out / "ours.png").string();
    const std::string theirs = (world.out / "theirs.png").string();
    std::vector<std::string> arguments{"region", region, "-o", theirs};
    if (!objectsShown) {
      arguments.push_back("--no-objects");
    }
    ASSERT_EQ(testing::RunProgram(testing::BuiltProgram("karst-render"), arguments).exitCode, 0);
    tools::JobContext context;
    const RegionExport request{region, objectsShown, 1, ours};
    const tools::RegionResult result = ExportRegion(request, context);
    EXPECT_EQ(ExportSummary(request, result), std::vector<std::string>{"Wrote " + ours});
    EXPECT_EQ(ReadFileBytes(ours), ReadFileBytes(theirs));
  }
}

TEST(RegionExport, ACancelledExportLeavesNoFile) {
  const ExportWorld world;
  // Cancelled before the drawing, and after it, before the write.
  for (const std::size_t cancelAt : {0u, 1u}) {
    SCOPED_TRACE(cancelAt);
    testing::RecordingContext recording(cancelAt);
    const RegionExport request{(world.world / "RGN01.GFF").string(), true, 2, (world.out / "rgn01.png").string()};
    const tools::RegionResult result = ExportRegion(request, recording.context());
    EXPECT_EQ(ExportSummary(request, result).front(), "Cancelled: nothing written");
    EXPECT_TRUE(FileNamesIn(world.out).empty());
  }
}

TEST(RegionExport, ARefusedOutputIsNamedAndNothingWritten) {
  const ExportWorld world;
  const std::string region = (world.world / "RGN03.GFF").string();
  const std::vector<std::uint8_t> regionBytes = ReadFileBytes(region);
  for (const std::string& output :
       {region, (world.out / "RGN07.GFF").string(), (world.out / "map.jpg").string(), std::string("-")}) {
    SCOPED_TRACE(output);
    tools::JobContext context;
    const RegionExport request{region, true, 1, output};
    const std::vector<std::string> lines = ExportSummary(request, ExportRegion(request, context));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Nothing written");
    EXPECT_EQ(lines[1].rfind(output + ": ", 0), 0u) << lines[1];
    EXPECT_TRUE(FileNamesIn(world.out).empty());
  }
  EXPECT_EQ(ReadFileBytes(region), regionBytes);
}

TEST(FolderExports, SayWhatTheyWroteOrKeptWhenCancelled) {
  struct Case {
    const char* name;
    std::optional<std::size_t> cancelAt;
    std::string first;  // the summary's first line, up to the count
  };
  const Case cases[] = {{"whole", std::nullopt, "Wrote 4 files to "}, {"cancelled", 1, "Cancelled: kept "}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const ExportWorld world;
    if (test.cancelAt) {
      // Regions are drawn on every core at once: a folder far larger than the workers can finish
      // before the cancel is seen, however the machine schedules them.
      for (int number = 5; number <= 40; ++number) {
        const std::string name = (number < 10 ? "RGN0" : "RGN") + std::to_string(number) + ".GFF";
        fs::copy_file(world.world / "RGN01.GFF", world.world / name);
      }
    }
    testing::RecordingContext recording(test.cancelAt);
    const AllExport request{world.world.string(), true, (world.out / "all").string()};
    const tools::FolderRun run = ExportAll(request, recording.context());
    const std::vector<std::string> lines = ExportSummary(request, run);
    const std::size_t files = FileNamesIn(world.out / "all").size();
    EXPECT_GT(files, 0u);
    const std::string count = std::to_string(files) + (files == 1 ? " file" : " files");
    EXPECT_EQ(lines.front().rfind(test.first, 0), 0u) << lines.front();
    EXPECT_NE(lines.front().find(count), std::string::npos) << lines.front();
    EXPECT_EQ(lines.size(), 1u);
  }
}

TEST(FramesExport, WritesOneBitmapsFramesAsTheFramesCommandDoes) {
  const ExportWorld world;
  const std::string library = (world.world / "OBJEX.GFF").string();
  const std::string region = (world.world / "RGN01.GFF").string();
  std::array<Argb, 256> colours{};
  colours.fill(OpaqueArgb(1, 2, 3));
  const ObjectEntries objects = LoadObjectEntries(library, colours);
  EXPECT_TRUE(objects.problems.empty());
  const auto drawn = std::find_if(objects.entries.begin(), objects.entries.end(),
                                  [](const ObjectEntry& entry) { return entry.firstFrame.has_value(); });
  ASSERT_NE(drawn, objects.entries.end());
  // Index 0 shows through, every other index is its colour.
  const ObjectPicture& picture = *drawn->firstFrame;
  ASSERT_EQ(picture.pixels.size(), std::size_t{picture.width} * picture.height);
  EXPECT_TRUE(std::all_of(picture.pixels.begin(), picture.pixels.end(),
                          [](Argb pixel) { return pixel == 0 || pixel == OpaqueArgb(1, 2, 3); }));
  EXPECT_TRUE(std::count(picture.pixels.begin(), picture.pixels.end(), Argb{0}) > 0);

  const std::uint32_t bitmap = drawn->row.definition->bitmapId;
  const fs::path all = world.out / "all";
  ASSERT_EQ(testing::RunProgram(testing::BuiltProgram("karst-render"),
                                {"frames", library, "-o", all.string(), "--palette", region})
                .exitCode,
            0);
  const FramesExport request{library, bitmap, region, (world.out / "one").string()};
  tools::JobContext context;
  const tools::FramesResult result = ExportFrames(request, context);
  const std::set<std::string> written = FileNamesIn(world.out / "one");
  ASSERT_FALSE(written.empty());
  const std::string files = std::to_string(written.size()) + (written.size() == 1 ? " file" : " files");
  EXPECT_EQ(ExportSummary(request, result), std::vector<std::string>{"Wrote " + files + " to " + request.outputFolder});
  const std::string prefix = "BMP-" + std::to_string(bitmap) + "-";
  std::set<std::string> expected;
  for (const std::string& name : FileNamesIn(all)) {
    if (name.rfind(prefix, 0) == 0) {
      expected.insert(name);
      EXPECT_EQ(ReadFileBytes(world.out / "one" / name), ReadFileBytes(all / name)) << name;
    }
  }
  EXPECT_EQ(written, expected);

  const FramesExport missing{library, 60000, region, (world.out / "none").string()};
  const std::vector<std::string> lines = ExportSummary(missing, ExportFrames(missing, context));
  EXPECT_TRUE(Holds(lines, library + ": no chunk BMP 60000: nothing written")) << lines.back();
  EXPECT_FALSE(fs::exists(world.out / "none"));
}

}  // namespace
}  // namespace karst::workbench
