// Special files as outputs, run as programs: a device or FIFO is written as it is and stays what
// it was (the tests run as root, who could replace /dev/null), an interrupted run removes its
// temporary files and ends as the signal would, and a later run removes only the temporary
// files of runs that no longer exist.
// POSIX only: devices, FIFOs and signals.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_safety.h"
#include "tests/support/built_programs.h"
#include "tests/support/fifo_reader.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;
using karst::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

std::vector<std::string> Replaced(std::vector<std::string> arguments, const std::string& output) {
  for (std::string& argument : arguments) {
    if (argument == "OUT") {
      argument = output;
    }
  }
  return arguments;
}

std::vector<std::string> TemporaryFilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".part") {
      names.push_back(entry.path().filename().string());
    }
  }
  return names;
}

TEST(SpecialOutputs, DevicesAndFifosAreWrittenAndStayWhatTheyWere) {
  if (!karst::testing::RunningAsRoot()) {
    GTEST_SKIP() << "needs root: only root could replace /dev/null, which is what this guards against";
  }
  const TempDir dir;
  karst::testing::WriteSampleWorld(dir.path());
  const std::string game = dir.path().string();
  const std::string frameName = [&] {
    const TempDir scratch;
    RunProgram(karst::testing::BuiltProgram("karst-render"),
               {"frames", game + "/OBJEX.GFF", "-o", scratch.path().string()});
    return fs::directory_iterator(scratch.path())->path().filename().string();
  }();

  struct Writer {
    std::string program;
    std::vector<std::string> arguments;  // OUT stands for the output
    std::string linkName;                // empty: OUT is the special file; else OUT is a folder with this link to it
  };
  const std::vector<Writer> writers = {
      {karst::testing::BuiltProgram("karst-render"),
       {"region", game + "/RGN01.GFF", "--objects", game + "/OBJEX.GFF", "-o", "OUT"},
       ""},
      {karst::testing::BuiltProgram("karst-gff"), {"extract", game + "/RGN01.GFF", "MAP", "7", "-o", "OUT"}, ""},
      {karst::testing::BuiltProgram("karst-render"), {"all", game, "-o", "OUT"}, "RGN01.png"},
      {karst::testing::BuiltProgram("karst-render"), {"frames", game + "/OBJEX.GFF", "-o", "OUT"}, frameName},
      {karst::testing::BuiltProgram("karst-sampleworld"), {"--force", "OUT"}, "RGN01.GFF"},
  };
  enum class Target { kNull, kFull, kFifo };
  for (const Writer& writer : writers) {
    // What the writer puts in a plain file, for the FIFO to be compared with.
    const TempDir plain;
    const fs::path plainOutput = plain.path() / "out";
    ASSERT_EQ(RunProgram(writer.program, Replaced(writer.arguments, plainOutput.string())).exitCode, 0);
    const Bytes expected = ReadFileBytes(writer.linkName.empty() ? plainOutput : plainOutput / writer.linkName);
    ASSERT_FALSE(expected.empty());

    for (const Target target : {Target::kNull, Target::kFull, Target::kFifo}) {
      const TempDir place;
      const fs::path special = target == Target::kNull   ? fs::path("/dev/null")
                               : target == Target::kFull ? fs::path("/dev/full")
                                                         : place.path() / "fifo";
      std::optional<karst::testing::FifoReader> reader;
      if (target == Target::kFifo) {
        reader.emplace(special);
      }
      fs::path output = special;
      if (!writer.linkName.empty()) {
        output = place.path() / "out";
        fs::create_directories(output);
        fs::create_symlink(special, output / writer.linkName);
      }
      const ProgramResult result = RunProgram(writer.program, Replaced(writer.arguments, output.string()));
      const std::string what = writer.arguments[0] + " into " + special.string();
      if (target == Target::kFull) {
        EXPECT_EQ(result.exitCode, 1) << what;
        EXPECT_NE(result.errorOutput.find(": cannot be written: No space left on device\n"), std::string::npos)
            << what << "\n"
            << result.errorOutput;
      } else {
        EXPECT_EQ(result.exitCode, 0) << what << "\n" << result.errorOutput;
      }
      if (reader) {
        EXPECT_TRUE(reader->Finish() == expected) << what;
      }
      EXPECT_EQ(fs::status(special).type(), target == Target::kFifo ? fs::file_type::fifo : fs::file_type::character)
          << what;
      if (!writer.linkName.empty()) {
        EXPECT_TRUE(fs::is_symlink(output / writer.linkName)) << what;
        EXPECT_TRUE(TemporaryFilesIn(output).empty()) << what;
      }
    }
  }
}

TEST(SpecialOutputs, AnInterruptedRunRemovesItsTemporaryFilesAndEndsAsTheSignalWould) {
  const TempDir dir;
  karst::testing::WriteSampleWorld(dir.path());
  for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
    const fs::path output = dir.path() / ("pictures-" + std::to_string(signalNumber));
    // Large pictures, one at a time: a temporary file stays for seconds while one is compressed.
    karst::testing::StartedProgram run(karst::testing::BuiltProgram("karst-render"),
                                       {"all", dir.path().string(), "--scale", "16", "-j", "1", "-o", output.string()});
    bool seen = false;
    while (!seen && !run.HasEnded()) {
      std::error_code ignored;
      seen = fs::is_directory(output, ignored) && !TemporaryFilesIn(output).empty();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(seen) << "the run ended before its first temporary file was seen";
    run.Signal(signalNumber);
    const ProgramResult result = run.Wait();
    EXPECT_EQ(result.exitCode, 128 + signalNumber) << result.errorOutput;
    EXPECT_TRUE(TemporaryFilesIn(output).empty()) << signalNumber;
  }
}

TEST(SpecialOutputs, ARunRemovesOnlyTheTemporaryFilesOfRunsThatNoLongerExist) {
  const TempDir dir;
  karst::testing::WriteSampleWorld(dir.path());
  // A process id that is free: a child that has been waited for.
  karst::testing::StartedProgram ended(karst::testing::BuiltProgram("karst-sampleworld"), {"--help"});
  ended.Wait();
  ASSERT_FALSE(platform::ProcessExists(ended.pid()));
  const std::string gone = std::to_string(ended.pid());
  const std::string alive = std::to_string(platform::CurrentProcessId());
  struct Leftover {
    std::string name;
    bool removed;
  };
  const std::vector<Leftover> leftovers = {
      {".RGN01.png." + gone + ".0badf00d.part", true},
      {".picture.png." + gone + ".12345678.part", true},
      {".RGN01.png." + alive + ".0badf00d.part", false},    // a live run's
      {".RGN01.png." + gone + ".0badf00.part", false},      // seven digits
      {".RGN01.png." + gone + ".0BADF00D.part", false},     // not ours: upper case
      {".RGN01.png.0badf00d.part", false},                  // no process id
      {"RGN01.png." + gone + ".0badf00d.part", false},      // not hidden
      {".RGN01.png." + gone + ".0badf00d.partial", false},  // another ending
      {"notes.part", false},
  };
  const fs::path pictures = dir.path() / "pictures";
  fs::create_directories(pictures);
  for (const Leftover& leftover : leftovers) {
    std::ofstream(pictures / leftover.name) << "left over";
  }
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"),
                 {"region", (dir.path() / "RGN01.GFF").string(), "-o", (pictures / "picture.png").string()});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  for (const Leftover& leftover : leftovers) {
    EXPECT_EQ(fs::exists(pictures / leftover.name), !leftover.removed) << leftover.name;
  }
  EXPECT_TRUE(fs::is_regular_file(pictures / "picture.png"));
}

}  // namespace
}  // namespace karst
