// Every tool answers --version with one line, "name version", and exit code 0, before it asks for
// a subcommand or a file; --help lists the option.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"

namespace karst::tools {
namespace {

struct Tool {
  const char* name;
  std::string path;
};

TEST(ToolVersion, OneLineNameAndVersionForEveryTool) {
  for (const Tool& tool : std::vector<Tool>{{"karst-gff", karst::testing::BuiltProgram("karst-gff")},
                                            {"karst-render", karst::testing::BuiltProgram("karst-render")},
                                            {"karst-sampleworld", karst::testing::BuiltProgram("karst-sampleworld")}}) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"--version"}, {"--version", "--bogus"}}) {
      const testing::ProgramResult result = testing::RunProgram(tool.path, arguments);
      EXPECT_EQ(result.exitCode, 0) << tool.name;
      EXPECT_EQ(result.output, std::string(tool.name) + " " + KARST_VERSION + "\n");
      EXPECT_EQ(result.errorOutput, "") << tool.name;
    }
    const testing::ProgramResult help = testing::RunProgram(tool.path, {"--help"});
    EXPECT_EQ(help.exitCode, 0) << tool.name;
    EXPECT_NE(help.output.find("--version"), std::string::npos) << tool.name;
  }
  // After "--" it is an argument like any other: here a subcommand that does not exist.
  const testing::ProgramResult afterEnd =
      testing::RunProgram(karst::testing::BuiltProgram("karst-gff"), {"--", "--version"});
  EXPECT_EQ(afterEnd.exitCode, 2);
  EXPECT_EQ(afterEnd.output, "");
}

}  // namespace
}  // namespace karst::tools
