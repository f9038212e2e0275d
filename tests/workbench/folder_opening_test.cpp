// What a path opens in the workbench: a folder, or a file in one with the file selected, each
// kind of file as itself; a path that leads nowhere says so; a container that is no region or
// library is listed by its chunks exactly as `karst-gff info` lists them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "workbench/model/folder_opening.h"

namespace karst::workbench {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A folder holding the sample world, a container of other chunks, a non-GFF file named like a
// region, and an empty sub-folder.
struct OpenedWorld {
  TempDir dir;
  fs::path world = dir.path() / "world";
  OpenedWorld() {
    testing::WriteSampleWorld(world);
    fs::create_directory(world / "empty");
    const std::vector<std::uint8_t> other = authoring::WriteContainer({{kTagEtab, {{4, {1, 2, 3, 4, 5, 6, 7, 8}}}}});
    std::ofstream(world / "OTHER.GFF", std::ios::binary)
        .write(reinterpret_cast<const char*>(other.data()), static_cast<std::streamsize>(other.size()));
    std::ofstream(world / "RGN09.GFF") << "no container";
  }
  std::string At(const std::string& name) const { return (world / name).string(); }
};

TEST(OpenPath, EachKindOfPathOpensAsItself) {
  const OpenedWorld opened;
  std::vector<std::string> regions;
  for (const char* name : {"RGN01.GFF", "RGN02.GFF", "RGN03.GFF", "RGN04.GFF", "RGN09.GFF"}) {
    regions.push_back(opened.At(name));
  }
  struct Case {
    const char* name;
    std::string path;
    OpenedKind kind;
    std::string folder;
    std::string selected;
    std::vector<std::string> regionFiles;
    std::string library;
    std::string note;
  };
  const std::string library = opened.At("OBJEX.GFF");
  const std::string empty = opened.At("empty");
  const Case cases[] = {
      {"folder", opened.world.string(), OpenedKind::kFolder, opened.world.string(), "", regions, library, ""},
      {"folder with a trailing separator", opened.world.string() + "/", OpenedKind::kFolder, opened.world.string(), "",
       regions, library, ""},
      {"region", opened.At("RGN02.GFF"), OpenedKind::kRegion, opened.world.string(), opened.At("RGN02.GFF"), regions,
       library, ""},
      {"region in another case", opened.At("rgn03.gff"), OpenedKind::kRegion, opened.world.string(),
       opened.At("RGN03.GFF"), regions, library, ""},
      {"named like a region, not one", opened.At("RGN09.GFF"), OpenedKind::kRegion, opened.world.string(),
       opened.At("RGN09.GFF"), regions, library, ""},
      {"library", library, OpenedKind::kLibrary, opened.world.string(), library, regions, library, ""},
      {"other container", opened.At("OTHER.GFF"), OpenedKind::kOtherContainer, opened.world.string(),
       opened.At("OTHER.GFF"), regions, library, ""},
      {"empty folder", empty, OpenedKind::kFolder, empty, "", {}, "", empty + ": no region files (RGN*.GFF)"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const OpenedPath path = OpenPath(test.path);
    EXPECT_EQ(path.problem, "");
    EXPECT_EQ(path.kind, test.kind);
    EXPECT_EQ(path.folder, test.folder);
    EXPECT_EQ(path.selected, test.selected);
    EXPECT_EQ(path.regionFiles, test.regionFiles);
    EXPECT_EQ(path.library, test.library);
    EXPECT_EQ(path.note, test.note);
  }
}

TEST(OpenPath, APathThatLeadsNowhereIsNamed) {
  const OpenedWorld opened;
  for (const std::string& path : {opened.At("RGN07.GFF"), opened.At("missing/RGN01.GFF"), std::string()}) {
    SCOPED_TRACE(path);
    const OpenedPath result = OpenPath(path);
    EXPECT_NE(result.problem.find(path.empty() ? "no folder or file" : path + ": "), std::string::npos)
        << result.problem;
    EXPECT_TRUE(result.folder.empty());
    EXPECT_TRUE(result.regionFiles.empty());
  }
}

TEST(OpenPath, AnOtherContainerIsListedAsTheInfoCommandListsIt) {
  const OpenedWorld opened;
  for (const char* name : {"OTHER.GFF", "RGN09.GFF"}) {
    SCOPED_TRACE(name);
    const testing::ProgramResult info =
        testing::RunProgram(testing::BuiltProgram("karst-gff"), {"info", opened.At(name)});
    std::vector<std::string> expected = testing::OutputLines(info.output);
    for (const std::string& line : testing::OutputLines(info.errorOutput)) {
      // The command line names itself before each of its lines on standard error.
      expected.push_back(line.substr(line.find(": ") + 2));
    }
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(ChunkLines(opened.At(name)), expected);
  }
}

TEST(SampleWorld, IsWrittenOnceAndAnEditedFileIsKept) {
  const TempDir dir;
  const fs::path world = dir.path() / "data" / "karst" / "sample-world";
  ASSERT_EQ(EnsureSampleWorldIn(world.string()), "");
  const std::set<std::string> names = testing::FileNamesIn(world);
  EXPECT_EQ(names, (std::set<std::string>{"OBJEX.GFF", "RGN01.GFF", "RGN02.GFF", "RGN03.GFF", "RGN04.GFF"}));
  std::ofstream(world / "RGN02.GFF") << "edited";
  fs::remove(world / "RGN03.GFF");
  ASSERT_EQ(EnsureSampleWorldIn(world.string()), "");
  EXPECT_EQ(testing::FileNamesIn(world), names);
  const std::vector<std::uint8_t> edited = testing::ReadFileBytes(world / "RGN02.GFF");
  EXPECT_EQ(std::string(edited.begin(), edited.end()), "edited");
  EXPECT_EQ(OpenPath(world.string()).regionFiles.size(), 4u);
}

}  // namespace
}  // namespace karst::workbench
