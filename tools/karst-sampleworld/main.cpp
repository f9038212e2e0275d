// karst-sampleworld: writes the sample world (region files and the object library) into a folder,
// and says what it wrote where. It writes over no game file that differs from its own unless told
// to with --force.
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "authoring/sample_world.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/cli/cli11.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"

namespace {

constexpr const char* kToolName = "karst-sampleworld";

// The folder's game files (RGN*.GFF, OBJEX.GFF, case ignored) that are not byte for byte what
// the world would put there. Folders are left out: nothing can be written over them.
std::vector<std::string> DifferingGameFiles(const std::filesystem::path& folder,
                                            const std::vector<karst::authoring::WorldFile>& world) {
  std::vector<std::string> differing;
  for (const char* pattern : {"RGN*.GFF", karst::authoring::kObjectLibraryFileName}) {
    for (const std::string& name : karst::platform::FindFiles(karst::platform::PathText(folder / pattern))) {
      const std::filesystem::path path = folder / karst::platform::NativePath(name);
      std::error_code error;
      if (std::filesystem::is_directory(path, error)) {
        continue;
      }
      // Only regular files are read: a device or FIFO reads as nothing and differs.
      const std::optional<std::vector<std::uint8_t>> bytes =
          karst::tools::ReadWholeFile(karst::platform::PathText(path));
      bool same = false;
      for (const karst::authoring::WorldFile& file : world) {
        same = same || (karst::tools::FoldCase(file.name) == karst::tools::FoldCase(name) && bytes == file.bytes);
      }
      if (!same) {
        differing.push_back(karst::platform::PathText(path));
      }
    }
  }
  return differing;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Write a small world of our own (region files RGN*.GFF and the object library OBJEX.GFF)\n"
      "into a folder, so the viewer has something to show.",
      kToolName);
  std::string folder;
  bool force = false;
  app.add_option("DIR", folder, "Folder to write into; made if it does not exist")->required()->type_name("");
  app.add_flag("--force", force, "Write over region files and object libraries that differ from the sample world");
  app.footer(
      "A folder that already holds region files or an object library (RGN*.GFF, OBJEX.GFF, case\n"
      "ignored) other than the sample world's own is refused (exit status 2) and nothing is\n"
      "written, unless --force is given: they may be the only copy of someone's game. Files equal\n"
      "to the sample world's own are no obstacle. On success it prints one line: the files it wrote\n"
      "and the folder.\n"
      "\n"
      "Example:\n  karst-sampleworld build/bin    writes RGN01.GFF ... RGN04.GFF and OBJEX.GFF there");
  karst::tools::AddVersionFlag(app);
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  if (parsed >= 0) {
    return parsed;
  }
  const std::vector<karst::authoring::WorldFile> world = karst::authoring::MakeSampleWorld();
  const std::vector<std::string> differing = DifferingGameFiles(karst::platform::NativePath(folder), world);
  if (!differing.empty() && !force) {
    std::string names;
    for (const std::string& path : differing) {
      names += (names.empty() ? "" : ", ") + path;
    }
    karst::tools::ReportError(kToolName, folder,
                              "holds game files that differ from the sample world (" + names +
                                  "); nothing written (--force writes over them)");
    return karst::tools::kExitUsage;
  }
  std::error_code error;
  std::filesystem::create_directories(karst::platform::NativePath(folder), error);
  if (error) {
    karst::tools::ReportError(kToolName, folder, "cannot make the folder: " + error.message());
    return karst::tools::kExitFailure;
  }
  std::string written;
  for (const karst::authoring::WorldFile& file : world) {
    const std::filesystem::path path = karst::platform::NativePath(folder) / file.name;
    if (const std::string failure = karst::tools::WriteOutput(karst::platform::PathText(path), file.bytes);
        !failure.empty()) {
      karst::tools::ReportError(kToolName, karst::platform::PathText(path), failure);
      return karst::tools::kExitFailure;
    }
    written += (written.empty() ? "" : ", ") + file.name;
  }
  std::cout << "the sample world: " << written << " -> " << folder << "\n";
  return karst::tools::kExitSuccess;
}
