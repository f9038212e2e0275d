// The looking jobs of karst-gff (info, extract, palette, check, entities, find, objects), driven
// through their library calls on the sample world, without a process: progress runs from 0 to n
// of n items, a cancel at each item boundary stops the job there with nothing half-made, and the
// result names every file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gff/format.h"
#include "tests/support/recording_context.h"
#include "tests/support/region_picture.h"
#include "tests/support/temp_dir.h"
#include "tools/inspect/chunk_extract.h"
#include "tools/inspect/directory_listing.h"
#include "tools/inspect/entity_listing.h"
#include "tools/inspect/folder_search.h"
#include "tools/inspect/game_check.h"
#include "tools/inspect/object_rows.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"
#include "tools/pictures/palette_files.h"

namespace karst {
namespace {

using testing::FileNamesIn;
using testing::TempDir;
using tools::JobContext;
using tools::JobProblem;
using tools::JobProgress;
using tools::ProblemKind;

// What a job's result says, in the same terms for every job.
struct Outcome {
  std::size_t itemsDone = 0;  // items whose results the result holds
  std::vector<std::string> written;
  bool cancelled = false;
};

bool AnyCancelled(const std::vector<JobProblem>& problems) {
  return std::any_of(problems.begin(), problems.end(),
                     [](const JobProblem& problem) { return problem.kind == ProblemKind::kCancelled; });
}

std::string In(const std::filesystem::path& folder, const char* name) { return (folder / name).string(); }

struct JobCase {
  const char* name;
  std::function<Outcome(const std::filesystem::path& world, const std::filesystem::path& out, JobContext&)> run;
  // The files the finished job writes into `out`.
  std::vector<std::string> outputs;
};

const std::vector<JobCase>& Cases() {
  static const std::vector<JobCase> cases = {
      {"info",
       [](const auto& world, const auto&, JobContext& context) {
         const auto result =
             tools::ReadDirectories({In(world, "RGN01.GFF"), In(world, "RGN02.GFF"), In(world, "OBJEX.GFF")}, context);
         return Outcome{result.files.size(), {}, AnyCancelled(result.problems)};
       },
       {}},
      {"extract",
       [](const auto& world, const auto& out, JobContext& context) {
         // The sample world's palettes are PAL 3.
         const auto result = tools::ExtractChunk({In(world, "RGN01.GFF"), kTagPal, 3, In(out, "pal.bin")}, context);
         return Outcome{result.written.size(), result.written, AnyCancelled(result.problems)};
       },
       {"pal.bin"}},
      {"palette",
       [](const auto& world, const auto& out, JobContext& context) {
         const auto result = tools::WritePaletteFile(
             {In(world, "RGN02.GFF"), In(out, "rgn02.png"), tools::PaletteFormat::kSwatch}, context);
         return Outcome{result.written.size(), result.written, AnyCancelled(result.problems)};
       },
       {"rgn02.png"}},
      {"check",
       [](const auto& world, const auto&, JobContext& context) {
         const auto result = tools::CheckGame(world.string(), context);
         return Outcome{result.files.size(), {}, AnyCancelled(result.problems)};
       },
       {}},
      {"entities",
       [](const auto& world, const auto&, JobContext& context) {
         const auto result = tools::ListEntities({In(world, "RGN04.GFF"), ""}, context);
         return Outcome{result.listed ? 1u : 0u, {}, AnyCancelled(result.problems)};
       },
       {}},
      {"find",
       [](const auto& world, const auto&, JobContext& context) {
         // Every name holds the empty text: one match per region searched.
         const auto result = tools::FindInFolder(world.string(), {tools::FindKind::kName, 0, ""}, context);
         return Outcome{result.nameMatches.size(), {}, AnyCancelled(result.problems)};
       },
       {}},
      {"objects",
       [](const auto& world, const auto&, JobContext& context) {
         const auto result = tools::ListObjects(In(world, "OBJEX.GFF"), context);
         return Outcome{result.listed ? 1u : 0u, {}, AnyCancelled(result.problems)};
       },
       {}},
  };
  return cases;
}

TEST(InspectJobs, ProgressReachesTheEndAndEveryCancelStopsAtItsItem) {
  TempDir world;
  testing::WriteSampleWorld(world.path());
  for (const JobCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    TempDir out;
    std::vector<JobProgress> reports;
    JobContext whole([&reports](const JobProgress& progress) { reports.push_back(progress); });
    const Outcome finished = c.run(world.path(), out.path(), whole);
    ASSERT_GE(reports.size(), 2u);
    const std::size_t total = reports.front().total;
    EXPECT_EQ(reports.front().done, 0u);
    EXPECT_EQ(reports.back().done, total);
    EXPECT_EQ(reports.back().total, total);
    EXPECT_FALSE(finished.cancelled);
    EXPECT_EQ(finished.itemsDone, total);
    std::vector<std::string> expected;
    for (const std::string& name : c.outputs) {
      expected.push_back((out.path() / name).string());
      EXPECT_GT(std::filesystem::file_size(out.path() / name), 0u) << name;
    }
    EXPECT_EQ(finished.written, expected);
    EXPECT_EQ(FileNamesIn(out.path()).size(), c.outputs.size());

    for (std::size_t boundary = 0; boundary < total; ++boundary) {
      SCOPED_TRACE(boundary);
      TempDir cancelledOut;
      testing::RecordingContext recording(boundary);
      const Outcome stopped = c.run(world.path(), cancelledOut.path(), recording.context());
      EXPECT_TRUE(stopped.cancelled);
      EXPECT_EQ(stopped.itemsDone, boundary);
      EXPECT_TRUE(stopped.written.empty());
      // Nothing half-written, nor a temporary file, is left.
      EXPECT_TRUE(FileNamesIn(cancelledOut.path()).empty());
    }
  }
}

// A window shows a finding at its spot: the chunk, and the first map cell or entity it names.
TEST(InspectJobs, FindingsNameTheirFirstCellAndEntity) {
  testing::RegionSpec spec;
  spec.palette = std::vector<std::uint8_t>(kPaletteBytes, 0);
  spec.tiles = {testing::PlainTile(1), testing::PlainTile(2)};
  spec.map = std::vector<std::uint8_t>(kMapBytes, 0);
  (*spec.map)[7 * kMapColumns + 5] = 9;     // column 5, row 7: the first cell past the two tiles
  (*spec.map)[50 * kMapColumns + 100] = 4;  // a later one
  spec.entities = {{{10, 10, 0, 0, 1}, {20, 20, 0, 0, 1}, {30, 30, 0, 0, 42}, {40, 40, 0, 0, 1}, {50, 50, 0, 0, 42}}};
  const tools::LibraryCheck library =
      tools::CheckLibraryBytes(testing::WriteObjectFile({{10, testing::PlainTile(3)}}, {{1, 0, 0, 10}}), "OBJEX.GFF");
  ASSERT_TRUE(library.loads);
  const tools::RegionCheck check =
      tools::CheckRegionBytes(testing::WriteRegionFile(spec), "RGN01.GFF", library.library.get());
  struct Expected {
    tools::FindingKind kind;
    std::optional<std::uint32_t> cellX;
    std::optional<std::uint32_t> cellY;
    std::optional<std::uint32_t> entity;
  };
  const std::vector<Expected> expected = {
      {tools::FindingKind::kMapTileOutOfRange, 5, 7, std::nullopt},
      {tools::FindingKindOf(NoteKind::kEntityWithoutDefinition), std::nullopt, std::nullopt, 2},
  };
  ASSERT_EQ(check.findings.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const tools::Finding& finding = check.findings[i];
    SCOPED_TRACE(finding.message);
    EXPECT_EQ(finding.kind, expected[i].kind);
    EXPECT_EQ(finding.place.chunk, finding.where);
    EXPECT_EQ(finding.place.cellX, expected[i].cellX);
    EXPECT_EQ(finding.place.cellY, expected[i].cellY);
    EXPECT_EQ(finding.place.entity, expected[i].entity);
  }
}

}  // namespace
}  // namespace karst
