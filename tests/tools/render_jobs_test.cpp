// The drawing jobs called as the window calls them, without a process: each reports 0 of n at the
// start and n of n at the end, names in its result every file it wrote, and cancelled at any item
// boundary keeps only whole files, each named, and says it was cancelled.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "tests/support/recording_context.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"
#include "tools/render/all_job.h"
#include "tools/render/atlas_job.h"
#include "tools/render/atlas_site.h"
#include "tools/render/frames_job.h"
#include "tools/render/region_job.h"

namespace karst {
namespace {

using karst::testing::ReadFileBytes;
using karst::testing::TempDir;
using tools::JobContext;
using tools::JobProblem;
using tools::JobProgress;
using tools::ProblemKind;
namespace fs = std::filesystem;

// What every job gives back, whatever else its result holds.
struct Outcome {
  std::vector<std::string> written;
  std::vector<JobProblem> problems;
};

struct JobCase {
  std::string name;
  // Runs the job on the folder `world` (the sample world and a small container), writing under `out`.
  std::function<Outcome(const fs::path& world, const fs::path& out, JobContext& context)> run;
  // What else a cancelled run leaves in `out`, checked when there is more.
  std::function<void(const fs::path& out)> cancelledLeaves = nullptr;
};

// Test names and failures show the job's name.
void PrintTo(const JobCase& job, std::ostream* stream) { *stream << job.name; }

std::string Text(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

// A cut-short atlas says on its page that it is unfinished and has no index data, and its marker
// claims every file it wrote, so that the next run replaces the site whole.
void ExpectUnfinishedSite(const fs::path& site) {
  EXPECT_NE(Text(site / "index.html").find("<body>\n<p id=\"unfinished\">"), std::string::npos);
  EXPECT_FALSE(fs::exists(site / "data" / "index.js"));
  const std::optional<std::vector<std::string>> claimed = tools::ParseMarker(Text(site / tools::kAtlasMarkerName));
  ASSERT_TRUE(claimed);
  const std::set<std::string> listed(claimed->begin(), claimed->end());
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(site)) {
    const std::string file = fs::relative(entry.path(), site).generic_string();
    EXPECT_TRUE(entry.is_directory() || file == tools::kAtlasMarkerName || listed.contains(file)) << file;
  }
}

// Four chunks of frames: a tile of two frames, two bitmaps with the same tag and number (the
// second renamed) and one without pixels, which is skipped.
std::vector<std::uint8_t> SmallContainer() {
  const authoring::IndexedImage image{16, 16, std::vector<std::uint8_t>(256, 9)};
  const std::vector<std::uint8_t> frame = *authoring::EncodeNrmlFrame(image);
  return authoring::WriteContainer({
      {kTagTile, {{3, *authoring::WriteFrameSetPayload({frame, frame})}}},
      {kTagBmp,
       {{7, *authoring::WriteFrameSetPayload({frame})},
        {7, *authoring::WriteFrameSetPayload({frame})},
        {8, *authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(0, 0)})}}},
  });
}

const std::vector<JobCase>& Cases() {
  static const std::vector<JobCase> cases = {
      {"Region",
       [](const fs::path& world, const fs::path& out, JobContext& context) {
         fs::create_directories(out);
         tools::RegionRequest request;
         request.region = (world / "RGN02.GFF").string();
         request.output = (out / "rgn02.png").string();
         const tools::RegionResult result = tools::RenderRegionPicture(request, context);
         return Outcome{result.written, result.problems};
       }},
      {"Frames",
       [](const fs::path& world, const fs::path& out, JobContext& context) {
         const tools::FramesResult result = tools::RenderFrames(
             {(world / "SMALL.GFF").string(), out.string(), (world / "RGN01.GFF").string(), 1, false}, context);
         return Outcome{result.written, result.problems};
       }},
      {"FramesAsSheets",
       [](const fs::path& world, const fs::path& out, JobContext& context) {
         const tools::FramesResult result =
             tools::RenderFrames({(world / "SMALL.GFF").string(), out.string(), {}, 2, true}, context);
         return Outcome{result.written, result.problems};
       }},
      {"AllOneWorker",
       [](const fs::path& world, const fs::path& out, JobContext& context) {
         const tools::FolderRun run = tools::RenderAll({world.string(), out.string(), false, 1, 1}, context);
         return Outcome{run.written, run.problems};
       }},
      {"AllTwoWorkersNoObjects",
       [](const fs::path& world, const fs::path& out, JobContext& context) {
         const tools::FolderRun run = tools::RenderAll({world.string(), out.string(), true, 1, 2}, context);
         return Outcome{run.written, run.problems};
       }},
      {"Atlas",
       [](const fs::path& world, const fs::path& out, JobContext& context) {
         const tools::AtlasResult result = tools::MakeAtlas({world.string(), out.string(), false, 2}, context);
         return Outcome{result.run.written, result.run.problems};
       },
       ExpectUnfinishedSite},
  };
  return cases;
}

// Every file under `folder`, as its path relative to it.
std::set<std::string> FilesUnder(const fs::path& folder) {
  std::set<std::string> files;
  if (fs::exists(folder)) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
      if (!entry.is_directory()) {
        files.insert(fs::relative(entry.path(), folder).generic_string());
      }
    }
  }
  return files;
}

// The files an outcome names, relative to `folder`; each once.
std::set<std::string> Named(const Outcome& outcome, const fs::path& folder) {
  std::set<std::string> files;
  for (const std::string& file : outcome.written) {
    EXPECT_TRUE(files.insert(fs::relative(file, folder).generic_string()).second) << file << " named twice";
  }
  return files;
}

// Each file is whole: a picture reads as one, JSON and the page's scripts end as they should.
void ExpectWhole(const std::string& file) {
  if (file.ends_with(".png")) {
    EXPECT_TRUE(tools::ReadIndexedPng(file)) << file;
  } else if (file.ends_with(".json")) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(file);
    EXPECT_FALSE(nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false).is_discarded()) << file;
  }
}

class RenderJobs : public ::testing::TestWithParam<JobCase> {
 protected:
  static void SetUpTestSuite() {
    world_ = std::make_unique<TempDir>();
    testing::WriteSampleWorld(world_->path());
    world_->Write("SMALL.GFF", SmallContainer());
  }
  static void TearDownTestSuite() { world_.reset(); }

  // Runs the job into a fresh folder, cancelled when it reports `cancelAt` items done; the
  // reports it made.
  static Outcome Run(const fs::path& out, std::optional<std::size_t> cancelAt, std::vector<JobProgress>& reports) {
    testing::RecordingContext recording(cancelAt);
    Outcome outcome = GetParam().run(world_->path(), out, recording.context());
    reports.insert(reports.end(), recording.reports().begin(), recording.reports().end());
    return outcome;
  }

  static std::unique_ptr<TempDir> world_;
};

std::unique_ptr<TempDir> RenderJobs::world_;

bool Cancelled(const Outcome& outcome) {
  return std::any_of(outcome.problems.begin(), outcome.problems.end(),
                     [](const JobProblem& problem) { return problem.kind == ProblemKind::kCancelled; });
}

TEST_P(RenderJobs, ReportEveryItemAndNameEveryFileWritten) {
  TempDir dir;
  std::vector<JobProgress> reports;
  const Outcome outcome = Run(dir.path() / "out", std::nullopt, reports);
  EXPECT_TRUE(outcome.problems.empty()) << outcome.problems.front().words;
  ASSERT_FALSE(reports.empty());
  const std::size_t total = reports.front().total;
  EXPECT_GT(total, 0u);
  // 0 of n, then one report an item, up to n of n.
  ASSERT_EQ(reports.size(), total + 1);
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].done, i);
    EXPECT_EQ(reports[i].total, total);
  }
  EXPECT_FALSE(outcome.written.empty());
  EXPECT_EQ(Named(outcome, dir.path() / "out"), FilesUnder(dir.path() / "out"));
}

TEST_P(RenderJobs, ACancelAtEveryItemBoundaryKeepsOnlyWholeFilesEachNamed) {
  TempDir dir;
  std::vector<JobProgress> full;
  Run(dir.path() / "full", std::nullopt, full);
  const std::size_t total = full.front().total;
  const std::set<std::string> allFiles = FilesUnder(dir.path() / "full");
  // Cancelled after each item, and (the boundary's other side) at the report of the last one,
  // when nothing is left to cancel. Workers finish the items they hold: a run may do more items
  // than it had reported when it was cancelled.
  for (std::size_t cancelAt = 0; cancelAt <= total; ++cancelAt) {
    const fs::path out = dir.path() / ("cancelled-at-" + std::to_string(cancelAt));
    std::vector<JobProgress> reports;
    const Outcome outcome = Run(out, cancelAt, reports);
    const bool finished = reports.back().done == total;
    EXPECT_EQ(Cancelled(outcome), !finished) << cancelAt;
    EXPECT_GE(reports.back().done, cancelAt);
    EXPECT_TRUE(cancelAt > 0 || !finished) << "a job cancelled before its first item does none";
    const std::set<std::string> files = FilesUnder(out);
    EXPECT_EQ(Named(outcome, out), files) << cancelAt;
    for (const std::string& file : files) {
      EXPECT_TRUE(allFiles.contains(file)) << file << " is no file of a whole run";
      ExpectWhole((out / file).string());
    }
    if (!finished && GetParam().cancelledLeaves) {
      GetParam().cancelledLeaves(out);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryDrawingJob, RenderJobs, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<JobCase>& test) { return test.param.name; });

}  // namespace
}  // namespace karst
