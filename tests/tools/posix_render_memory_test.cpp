// Enlarged pictures are written row by row: however large the scale, one region drawn by
// `region` or by one job of `all` keeps at most 64 MiB beside the unscaled picture resident.
// Measured in the child process of the release build; the sanitizers' shadow memory would
// count against the bound, so their build skips it.
// POSIX only: Wine does not keep an ended program's peak memory.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::RunProgram;
using karst::testing::TempDir;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kBound = 64 * kMiB + 2048 * 1536;

// The width and height an IHDR chunk gives, right after the 8-byte signature and the chunk's
// length and type.
std::array<std::uint32_t, 2> PngSize(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = karst::testing::ReadFileBytes(path);
  if (bytes.size() < 24) {
    return {0, 0};
  }
  const auto big = [&bytes](std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 | std::uint32_t{bytes[at + 2]} << 8 |
           bytes[at + 3];
  };
  return {big(16), big(20)};
}

struct MemoryCase {
  std::string command;
  std::uint32_t scale;
};

TEST(RenderMemory, AnyScaleStaysWithinTheBound) {
#ifdef KARST_SANITIZED_BUILD
  GTEST_SKIP() << "the sanitizers' shadow memory counts as resident";
#endif
  const TempDir dir;
  // One region and its library, so `all` draws it with a single job.
  karst::testing::WriteSampleWorld(dir.path() / "world");
  std::filesystem::create_directory(dir.path() / "game");
  for (const char* name : {"RGN01.GFF", "OBJEX.GFF"}) {
    std::filesystem::copy_file(dir.path() / "world" / name, dir.path() / "game" / name);
  }
  const std::string region = (dir.path() / "game" / "RGN01.GFF").string();
  const std::filesystem::path out = dir.path() / "out";
  std::filesystem::create_directory(out);
  for (const MemoryCase& c :
       {MemoryCase{"region", 1}, MemoryCase{"region", 7}, MemoryCase{"region", 16}, MemoryCase{"all", 8}}) {
    const std::string scale = std::to_string(c.scale);
    const ProgramResult result =
        c.command == "region"
            ? RunProgram(karst::testing::BuiltProgram("karst-render"),
                         {"region", region, "--scale", scale, "-o", (out / "RGN01.png").string()})
            : RunProgram(karst::testing::BuiltProgram("karst-render"),
                         {"all", (dir.path() / "game").string(), "--scale", scale, "-j", "1", "-o", out.string()});
    ASSERT_EQ(result.exitCode, 0) << c.command << " " << scale << ": " << result.errorOutput;
    EXPECT_EQ(PngSize(out / "RGN01.png"), (std::array<std::uint32_t, 2>{2048 * c.scale, 1536 * c.scale}))
        << c.command << " " << scale;
    EXPECT_GT(result.peakResidentBytes, 0u);
    EXPECT_LE(result.peakResidentBytes, kBound)
        << c.command << " --scale " << scale << ": " << result.peakResidentBytes / kMiB << " MiB";
  }
}

}  // namespace
}  // namespace karst
