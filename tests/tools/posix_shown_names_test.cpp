// Region names beyond ASCII as the tools show and write them, run with the locale set: text in a
// UTF-8 locale, escapes in the C locale (and in one that is not installed), the search text taken
// as UTF-8 in both, and the files written UTF-8 in either.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

// LC_ALL for the programs this test runs, put back as it was when it ends.
class ProgramLocale {
 public:
  explicit ProgramLocale(const char* name) {
    if (const char* before = getenv("LC_ALL")) {
      before_ = before;
    }
    setenv("LC_ALL", name, 1);
  }
  ~ProgramLocale() {
    if (before_) {
      setenv("LC_ALL", before_->c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
  }
  ProgramLocale(const ProgramLocale&) = delete;
  ProgramLocale& operator=(const ProgramLocale&) = delete;

 private:
  std::optional<std::string> before_;
};

std::filesystem::path WriteRegionNamed(const testing::TempDir& dir, const std::string& file, const std::string& name) {
  testing::RegionSpec spec;
  spec.palette = std::vector<std::uint8_t>(768, 0);
  spec.tiles.push_back(testing::PlainTile(3));
  spec.map = std::vector<std::uint8_t>(kMapBytes, 0);
  spec.name = name;
  return dir.Write(file, testing::WriteRegionFile(spec));
}

TEST(ShownNames, TextInTheLocalesEncodingFilesInUtf8) {
  testing::TempDir dir;
  const std::filesystem::path region = WriteRegionNamed(dir, "RGN01.GFF", "Gr\xFCnwiese\x1B[0m");
  const std::string gpl = (dir.path() / "out.gpl").string();
  // A tile whose frame names an encoding no decoder knows, "\xC4\x1BCD": the viewer's line names it.
  const std::vector<std::uint8_t> tiles = *authoring::WriteFrameSetPayload({{16, 0, 16, 0, 255, 0xC4, 0x1B, 'C', 'D'}});
  const std::string odd = dir.Write("ODD.GFF", authoring::WriteContainer({
                                                   {kTagPal, {{0, std::vector<std::uint8_t>(768, 9)}}},
                                                   {kTagTile, {{0, tiles}}},
                                                   {kTagMap, {{0, std::vector<std::uint8_t>(kMapBytes, 0)}}},
                                               }))
                              .string();
  const std::string png = (dir.path() / "odd.png").string();
  const std::string frames = (dir.path() / "frames").string();
  struct Case {
    const char* locale;
    const char* program;
    std::vector<std::string> arguments;
    std::string output;  // what standard output holds, or with `file` how the file begins
    bool file;
  };
  const std::string shownUtf8 = "RGN01.GFF  Gr\xC3\xBCnwiese\\x1B[0m\n";
  const std::string shownAscii = "RGN01.GFF  Gr\\xFCnwiese\\x1B[0m\n";
  const std::vector<Case> cases = {
      {"C.UTF-8",
       "karst-gff",
       {"find", dir.path().string(), "--name", "GR\xC3\x9CN"},
       "file       name\n" + shownUtf8,
       false},
      {"C",
       "karst-gff",
       {"find", dir.path().string(), "--name", "gr\xC3\xBCn"},
       "file       name\n" + shownAscii,
       false},
      // A locale that is not installed is the C locale, as for any program that sets it.
      {"xx_NOWHERE.UTF-8",
       "karst-gff",
       {"find", dir.path().string(), "--name", "gr\xC3\xBCn"},
       "file       name\n" + shownAscii,
       false},
      {"C.UTF-8",
       "karst-gff",
       {"palette", region.string(), "-o", gpl},
       "GIMP Palette\nName: Gr\xC3\xBCnwiese\x1B[0m\n",
       true},
      {"C",
       "karst-gff",
       {"palette", region.string(), "-o", gpl},
       "GIMP Palette\nName: Gr\xC3\xBCnwiese\x1B[0m\n",
       true},
      {"C.UTF-8", "karst-render", {"region", odd, "-o", png}, "Unknown type: \xC3\x84\\x1BCD\n", false},
      {"C", "karst-render", {"frames", odd, "-o", frames}, "Unknown type: \\xC4\\x1BCD\n", false},
      {"C.UTF-8", "karst-gff", {"check", odd}, "unknown encoding \"\xC3\x84\\x1BCD\"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " " + c.program + " " + c.arguments[0]);
    const ProgramLocale locale(c.locale);
    const testing::ProgramResult result = testing::RunProgram(testing::BuiltProgram(c.program), c.arguments);
    if (c.file) {
      const std::vector<std::uint8_t> bytes = testing::ReadFileBytes(gpl);
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, c.output.size()), c.output);
    } else {
      EXPECT_NE(result.output.find(c.output), std::string::npos) << result.output;
    }
  }
}

}  // namespace
}  // namespace karst
