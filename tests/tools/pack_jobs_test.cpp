// The unpack and pack jobs driven as library calls, without a process: progress reaches its end,
// the result names every file written, and a cancel at each item boundary leaves only whole
// files: an unpack's folder at hand stays marked unfinished, which the next unpack finishes to the
// very files an unstopped one writes (also over an older unpack), and a pack's outputs are each
// the original file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/recording_context.h"
#include "tests/support/region_picture.h"
#include "tests/support/temp_dir.h"
#include "tools/pack/pack_job.h"
#include "tools/pack/unpack_job.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using Files = std::map<std::string, std::vector<std::uint8_t>>;

// Every file under `root`, hidden ones included, by its path from `root`.
Files Snapshot(const fs::path& root) {
  Files files;
  std::error_code error;
  for (fs::recursive_directory_iterator entry(root, error), end; !error && entry != end; entry.increment(error)) {
    if (entry->is_regular_file()) {
      files[fs::relative(entry->path(), root).generic_string()] = testing::ReadFileBytes(entry->path());
    }
  }
  return files;
}

// A small game: two regions that differ in their tiles, and the library their entities name.
void WriteGame(const TempDir& dir) {
  testing::RegionSpec region;
  region.palette = std::vector<std::uint8_t>(768, 21);
  region.tiles = {testing::PatternTile(1), testing::PatternTile(90)};
  region.map = std::vector<std::uint8_t>(kMapBytes, 1);
  region.name = "Fen";
  region.entities = {{{100, 100, 0, 0, 3}}};
  fs::create_directories(dir.path() / "game");
  dir.Write("game/RGN01.GFF", testing::WriteRegionFile(region));
  region.tiles.push_back(testing::PlainTile(7));
  dir.Write("game/RGN02.GFF", testing::WriteRegionFile(region));
  dir.Write("game/OBJEX.GFF", testing::WriteObjectFile({{7, testing::PatternTile(30)}}, {{3, 4, 10, 7}}));
}

// Runs a job with a context that records every report and cancels at the first report of
// `cancelAt` items done.
template <typename Result, typename Job>
Result RunJob(Job job, std::optional<std::size_t> cancelAt, std::vector<JobProgress>& reports) {
  testing::RecordingContext recording(cancelAt);
  Result result = job(recording.context());
  reports.insert(reports.end(), recording.reports().begin(), recording.reports().end());
  return result;
}

// The files a result names, by their path from `root`.
std::vector<std::string> Named(const UnpackResult& result, const fs::path& root) {
  std::vector<std::string> names;
  for (const UnpackedFolder& folder : result.folders) {
    for (const std::string& file : folder.written) {
      names.push_back(fs::relative(fs::path(folder.folder) / file, root).generic_string());
    }
  }
  return names;
}

void ExpectReachesTheEnd(const std::vector<JobProgress>& reports) {
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.front().done, 0u);
  EXPECT_GT(reports.back().total, 0u);
  EXPECT_EQ(reports.back().done, reports.back().total);
  for (const JobProgress& progress : reports) {
    EXPECT_LE(progress.done, progress.total);
  }
}

struct UnpackCase {
  const char* name;
  const char* input;     // inside the temporary folder
  const char* replaced;  // an older unpack of this file already in the output; null: none
  bool markCutShort;     // the output holds only a mark that a killed unpack was writing
};

TEST(PackJobs, UnpackCancelledAtEachItemIsFinishedByTheNextUnpack) {
  const UnpackCase cases[] = {
      {"one container, item by file", "game/RGN01.GFF", nullptr, false},
      {"one container over an older unpack of another", "game/RGN01.GFF", "game/RGN02.GFF", false},
      {"one container into a folder holding a mark cut short", "game/RGN01.GFF", nullptr, true},
      {"a game folder, item by container", "game", nullptr, false},
  };
  for (const UnpackCase& test : cases) {
    SCOPED_TRACE(test.name);
    TempDir dir;
    WriteGame(dir);
    const auto unpack = [&](const fs::path& output, const char* input, std::optional<std::size_t> cancelAt,
                            std::vector<JobProgress>& reports) {
      UnpackRequest request;
      request.input = (dir.path() / input).string();
      request.output = output.string();
      return RunJob<UnpackResult>([&](JobContext& context) { return UnpackJob(request, context); }, cancelAt, reports);
    };
    std::vector<JobProgress> reports;
    const fs::path whole = dir.path() / "whole";
    const UnpackResult full = unpack(whole, test.input, std::nullopt, reports);
    ASSERT_TRUE(full.problems.empty()) << full.problems.front().words;
    ExpectReachesTheEnd(reports);
    const Files expected = Snapshot(whole);
    std::vector<std::string> named = Named(full, whole);
    std::sort(named.begin(), named.end());
    std::vector<std::string> onDisk;
    for (const auto& [file, bytes] : expected) {
      onDisk.push_back(file);
    }
    EXPECT_EQ(named, onDisk);

    for (std::size_t boundary = 0; boundary < reports.back().total; ++boundary) {
      SCOPED_TRACE("cancelled at item " + std::to_string(boundary));
      const fs::path output = dir.path() / ("cancelled-" + std::to_string(boundary));
      std::vector<JobProgress> ignored;
      if (test.replaced != nullptr) {
        ASSERT_FALSE(unpack(output, test.replaced, std::nullopt, ignored).cancelled);
      }
      if (test.markCutShort) {
        fs::create_directories(output);
        dir.Write(fs::relative(output / ".unpacking", dir.path()).string(),
                  std::vector<std::uint8_t>{'{', '"', 'm', 'a', 'd', 'e'});
      }
      const Files before = Snapshot(output);
      const UnpackResult cancelled = unpack(output, test.input, boundary, ignored);
      EXPECT_TRUE(cancelled.cancelled);
      EXPECT_FALSE(cancelled.refused);
      // Every file the result names is whole; the others are as they were, or the mark.
      const std::vector<std::string> written = Named(cancelled, output);
      for (const auto& [file, bytes] : Snapshot(output)) {
        const auto was = before.find(file);
        if (std::find(written.begin(), written.end(), file) != written.end()) {
          EXPECT_EQ(bytes, expected.at(file)) << file;
        } else if (!file.ends_with(".unpacking")) {
          EXPECT_TRUE(was != before.end() && was->second == bytes) << file << " is neither written whole nor as it was";
        }
      }
      const UnpackResult finished = unpack(output, test.input, std::nullopt, ignored);
      EXPECT_TRUE(finished.problems.empty()) << finished.problems.front().words;
      EXPECT_EQ(Snapshot(output), expected);
    }
  }
}

struct PackCase {
  const char* name;
  const char* folder;  // inside the unpack of the game
  const char* output;  // inside the temporary folder
};

TEST(PackJobs, PackCancelledAtEachItemKeepsWholeFilesOnly) {
  TempDir dir;
  WriteGame(dir);
  std::vector<JobProgress> ignored;
  UnpackRequest unpack;
  unpack.input = (dir.path() / "game").string();
  unpack.output = (dir.path() / "work").string();
  ASSERT_TRUE(
      RunJob<UnpackResult>([&](JobContext& context) { return UnpackJob(unpack, context); }, std::nullopt, ignored)
          .problems.empty());
  const Files game = Snapshot(dir.path() / "game");
  const PackCase cases[] = {
      {"a folder of unpacks", "", "new"},
      {"one unpack into one file", "RGN01", "RGN01.GFF"},
  };
  for (const PackCase& test : cases) {
    SCOPED_TRACE(test.name);
    const auto pack = [&](const std::string& output, std::optional<std::size_t> cancelAt,
                          std::vector<JobProgress>& reports) {
      PackRequest request;
      request.folder = (dir.path() / "work" / test.folder).string();
      request.output = (dir.path() / output / test.output).string();
      return RunJob<PackResult>([&](JobContext& context) { return PackJob(request, context); }, cancelAt, reports);
    };
    std::vector<JobProgress> reports;
    fs::create_directories(dir.path() / "whole");
    const PackResult full = pack("whole", std::nullopt, reports);
    ASSERT_TRUE(full.complete);
    ExpectReachesTheEnd(reports);
    EXPECT_EQ(full.written.size(), Snapshot(dir.path() / "whole").size());

    for (std::size_t boundary = 0; boundary < reports.back().total; ++boundary) {
      SCOPED_TRACE("cancelled at item " + std::to_string(boundary));
      const std::string output = "cancelled-" + std::to_string(boundary);
      fs::create_directories(dir.path() / output);
      const PackResult cancelled = pack(output, boundary, ignored);
      EXPECT_TRUE(cancelled.cancelled);
      EXPECT_FALSE(cancelled.complete);
      const Files written = Snapshot(dir.path() / output);
      EXPECT_EQ(written.size(), cancelled.written.size());
      for (const std::string& file : cancelled.written) {
        const fs::path path(file);
        ASSERT_TRUE(written.contains(fs::relative(path, dir.path() / output).generic_string())) << file;
        EXPECT_EQ(testing::ReadFileBytes(path), game.at(path.filename().string())) << file;
      }
    }
    fs::remove_all(dir.path() / "whole");
  }
}

}  // namespace
}  // namespace karst::tools
