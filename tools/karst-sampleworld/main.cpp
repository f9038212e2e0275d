// karst-sampleworld: writes the sample world (region files and the object library) into a folder.
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <CLI/CLI.hpp>

#include "authoring/sample_world.h"
#include "tools/common/cli.h"

namespace {

constexpr const char* kToolName = "karst-sampleworld";

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app("Write a small world of our own (region files RGN*.GFF and the object library OBJEX.GFF)\n"
               "into a folder, so the viewer has something to show.",
               kToolName);
  std::string folder;
  app.add_option("DIR", folder, "Folder to write into; made if it does not exist")->required();
  app.footer("Example:\n  karst-sampleworld build/bin    writes RGN01.GFF ... RGN04.GFF and OBJEX.GFF there");
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  if (parsed >= 0) {
    return parsed;
  }
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    karst::tools::ReportError(kToolName, folder, "cannot make the folder: " + error.message());
    return karst::tools::kExitFailure;
  }
  for (const karst::authoring::WorldFile& file : karst::authoring::MakeSampleWorld()) {
    const std::filesystem::path path = std::filesystem::path(folder) / file.name;
    if (!WriteFile(path, file.bytes)) {
      karst::tools::ReportError(kToolName, path.string(), "cannot write the file");
      return karst::tools::kExitFailure;
    }
  }
  return karst::tools::kExitSuccess;
}
