// The seed corpora of the fuzz targets, all made with authoring/: for each target, a few small
// inputs that reach deep into its decoder or loader. write_seeds writes them for libFuzzer; the
// replay tests run every target over them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace karst::fuzzing {

struct Seed {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

struct SeedCorpus {
  std::string target;  // the fuzz target's name, also its corpus directory
  std::vector<Seed> seeds;
};

// Every target's corpus, in a fixed order.
std::vector<SeedCorpus> MakeSeedCorpora();

// Writes each corpus to `root`/<target>/seed-<name>. False (with a line on standard error) when
// a directory or file cannot be written.
bool WriteSeedCorpora(const std::filesystem::path& root, const std::vector<SeedCorpus>& corpora);

}  // namespace karst::fuzzing
