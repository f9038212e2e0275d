// Every fuzz target over its seed corpus, as write_seeds puts it on disk, over cut and flipped
// copies of those seeds, and over every input in fuzz/regressions/<target>/ (inputs that once
// found a fault). A target stops the program on any inconsistency it sees, like it stops the
// fuzzer; here the sanitizers of the build watch every access as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/fuzz_seeds.h"
#include "platform/message_box.h"
#include "tests/support/built_programs.h"
#include "tests/support/temp_dir.h"

using FuzzEntry = int (*)(const std::uint8_t*, std::size_t);

extern "C" {
int fuzz_container_entry(const std::uint8_t* data, std::size_t size);
int fuzz_region_entry(const std::uint8_t* data, std::size_t size);
int fuzz_object_library_entry(const std::uint8_t* data, std::size_t size);
int fuzz_frame_set_entry(const std::uint8_t* data, std::size_t size);
int fuzz_nrml_entry(const std::uint8_t* data, std::size_t size);
int fuzz_plan_entry(const std::uint8_t* data, std::size_t size);
int fuzz_plnr_entry(const std::uint8_t* data, std::size_t size);
int fuzz_compose_entry(const std::uint8_t* data, std::size_t size);
int fuzz_info_entry(const std::uint8_t* data, std::size_t size);
int fuzz_roundtrip_entry(const std::uint8_t* data, std::size_t size);
}

namespace karst::fuzzing {
namespace {

struct Target {
  const char* name;
  FuzzEntry entry;
};

const Target kTargets[] = {
    {"fuzz_container", fuzz_container_entry},
    {"fuzz_region", fuzz_region_entry},
    {"fuzz_object_library", fuzz_object_library_entry},
    {"fuzz_frame_set", fuzz_frame_set_entry},
    {"fuzz_nrml", fuzz_nrml_entry},
    {"fuzz_plan", fuzz_plan_entry},
    {"fuzz_plnr", fuzz_plnr_entry},
    {"fuzz_compose", fuzz_compose_entry},
    {"fuzz_info", fuzz_info_entry},
    {"fuzz_roundtrip", fuzz_roundtrip_entry},
};

void PrintTo(const Target& target, std::ostream* out) { *out << target.name; }

void Replay(const Target& target, const std::vector<std::uint8_t>& input) {
  // A zero-length input still gets a valid pointer, as libFuzzer gives one.
  const std::uint8_t none = 0;
  EXPECT_EQ(target.entry(input.empty() ? &none : input.data(), input.size()), 0);
}

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& directory) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    if (entry.is_regular_file()) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

class ReplayTest : public ::testing::TestWithParam<Target> {
 protected:
  // The targets that draw show their messages through the platform: keep them recorded.
  ReplayTest() { platform::CaptureMessageBoxes(true); }
  ~ReplayTest() override { platform::CaptureMessageBoxes(false); }
};

TEST_P(ReplayTest, SeedCorpusAsWrittenToDisk) {
  const testing::TempDir dir;
  ASSERT_TRUE(WriteSeedCorpora(dir.path(), MakeSeedCorpora()));
  const std::vector<std::filesystem::path> seeds = FilesIn(dir.path() / GetParam().name);
  ASSERT_GE(seeds.size(), 2u);
  for (const std::filesystem::path& seed : seeds) {
    SCOPED_TRACE(seed.filename().string());
    const std::vector<std::uint8_t> bytes = testing::ReadFileBytes(seed);
    ASSERT_FALSE(bytes.empty());
    Replay(GetParam(), bytes);
  }
}

// A small deterministic stand-in for the fuzzer's mutations: every seed cut at 16 places, and
// with 16 of its bytes inverted in turn.
TEST_P(ReplayTest, CutAndFlippedSeeds) {
  for (const SeedCorpus& corpus : MakeSeedCorpora()) {
    if (corpus.target != GetParam().name) {
      continue;
    }
    for (const Seed& seed : corpus.seeds) {
      SCOPED_TRACE(seed.name);
      const std::size_t size = seed.bytes.size();
      ASSERT_GT(size, 0u);
      for (std::size_t part = 0; part < 16; ++part) {
        const std::size_t at = size * part / 16;
        Replay(GetParam(),
               std::vector<std::uint8_t>(seed.bytes.begin(), seed.bytes.begin() + static_cast<std::ptrdiff_t>(at)));
        std::vector<std::uint8_t> flipped = seed.bytes;
        flipped[at] = static_cast<std::uint8_t>(~flipped[at]);
        Replay(GetParam(), flipped);
      }
    }
  }
}

TEST_P(ReplayTest, RegressionInputs) {
  for (const std::filesystem::path& input : FilesIn(karst::testing::SourcePath("fuzz/regressions") / GetParam().name)) {
    SCOPED_TRACE(input.filename().string());
    Replay(GetParam(), testing::ReadFileBytes(input));
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, ReplayTest, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& param) { return std::string(param.param.name); });

// The directory listing's checks over every input of every corpus, whatever target it was made
// for: frame sets and pixel data are hostile containers too.
TEST(InfoListing, EveryInputOfEveryCorpus) {
  const Target info{"fuzz_info", fuzz_info_entry};
  for (const SeedCorpus& corpus : MakeSeedCorpora()) {
    for (const Seed& seed : corpus.seeds) {
      SCOPED_TRACE(corpus.target + "/" + seed.name);
      Replay(info, seed.bytes);
    }
    for (const std::filesystem::path& input : FilesIn(karst::testing::SourcePath("fuzz/regressions") / corpus.target)) {
      SCOPED_TRACE(input.string());
      Replay(info, testing::ReadFileBytes(input));
    }
  }
}

TEST(SeedCorpora, EveryTargetHasOneAndNoOther) {
  std::vector<std::string> corpora;
  for (const SeedCorpus& corpus : MakeSeedCorpora()) {
    corpora.push_back(corpus.target);
  }
  std::vector<std::string> targets;
  for (const Target& target : kTargets) {
    targets.push_back(target.name);
  }
  EXPECT_EQ(corpora, targets);
}

}  // namespace
}  // namespace karst::fuzzing
