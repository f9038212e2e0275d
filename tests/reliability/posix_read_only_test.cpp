// The viewer and the tools only read game files: a container is opened for reading only, and the
// file it was opened from is the same, byte for byte, after a whole load.
// POSIX only: the descriptors' access modes are read in /proc/self/fdinfo.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "data/region.h"
#include "gff/gff_stream.h"
#include "tests/reliability/sample_world_dir.h"
#include "tests/support/temp_dir.h"

namespace karst::reliability_tests {
namespace {

// The access mode of every open descriptor that names `path`, read from /proc/self/fdinfo
// ("flags:" in octal; the low two bits are 0 for read-only, 1 write-only, 2 read-write).
std::vector<unsigned> AccessModesOf(const std::filesystem::path& path) {
  const std::filesystem::path target = std::filesystem::canonical(path);
  std::vector<unsigned> modes;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) != target || error) {
      continue;
    }
    std::ifstream info("/proc/self/fdinfo/" + entry.path().filename().string());
    std::string key;
    while (info >> key) {
      if (key == "flags:") {
        unsigned flags = 0;
        info >> std::oct >> flags;
        modes.push_back(flags & 3u);
        break;
      }
    }
  }
  return modes;
}

TEST(ReadOnly, AContainerFileIsOpenedForReadingOnly) {
  // A file too large to be read whole stays open while it is read; a smaller one is read and
  // closed at once.
  const karst::testing::TempDir dir;
  const std::filesystem::path large = dir.path() / "LARGE.GFF";
  std::ofstream(large, std::ios::binary).put('G');
  std::filesystem::resize_file(large, GffStream::kWholeFileLimit + 1);
  ASSERT_TRUE(AccessModesOf(large.string()).empty());
  {
    const std::optional<GffStream> stream = GffStream::OpenFile(large.string());
    ASSERT_TRUE(stream.has_value());
    EXPECT_EQ(AccessModesOf(large.string()), (std::vector<unsigned>{0u}));
  }
  // Closed with the stream.
  EXPECT_TRUE(AccessModesOf(large.string()).empty());

  const SampleWorldDir world;
  const std::string small = world.regionPaths().front();
  const std::optional<GffStream> stream = GffStream::OpenFile(small);
  ASSERT_TRUE(stream.has_value());
  EXPECT_TRUE(AccessModesOf(small).empty());
}

TEST(ReadOnly, LoadingEveryFileOfTheWorldLeavesItUnchanged) {
  const SampleWorldDir world;
  for (const std::string& path : world.regionPaths()) {
    EXPECT_NE(LoadRegion(path, LoadReport()), nullptr) << path;
    EXPECT_TRUE(AccessModesOf(path).empty()) << path;
  }
  EXPECT_TRUE(world.Unchanged());
}

}  // namespace
}  // namespace karst::reliability_tests
