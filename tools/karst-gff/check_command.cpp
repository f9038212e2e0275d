#include "tools/karst-gff/check_command.h"

#include <cctype>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/inspect/game_check.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

struct CheckOptions {
  std::string path;
  bool json = false;
};

// What a check found: as text, printed as it goes, then a summary; as JSON, one document at the
// end, {"files":[{"file":..,"loads":..,"findings":[{"kind":..,"chunk":..,"text":..}]}]}.
class Report {
 public:
  explicit Report(bool json) : json_(json) {}

  // One checked file (or the folder, for a finding about the folder) and whether the viewer
  // would get past it.
  void AddFile(const std::string& file, bool loads, const std::vector<Finding>& findings) {
    findingCount_ += findings.size();
    if (!json_) {
      for (const Finding& finding : findings) {
        std::cout << FindingText(finding) << "\n";
      }
      return;
    }
    // Tag bytes in a finding (an unknown encoding's) are kept as the characters of their values.
    nlohmann::json list = nlohmann::json::array();
    for (const Finding& finding : findings) {
      list.push_back({{"kind", FindingKindName(finding.kind)},
                      {"chunk", finding.chunk.empty() ? nlohmann::json() : nlohmann::json(ByteText(finding.chunk))},
                      {"text", ByteText(FindingLine(finding))}});
    }
    files_.push_back({{"file", file}, {"loads", loads}, {"findings", std::move(list)}});
  }
  void AddRegion(const std::string& file, const RegionCheck& check) {
    AddFile(file, check.loads, check.findings);
    ++regionCount_;
    if (!check.loads) {
      ++failedCount_;
    }
  }
  // A remark that is no finding: a line of the text; on standard error beside the JSON, which
  // holds findings alone.
  void Remark(const std::string& line) const { (json_ ? std::cerr : std::cout) << line << "\n"; }
  void Finish() const {
    if (!json_) {
      std::cout << regionCount_ << (regionCount_ == 1 ? " region" : " regions") << " checked, " << failedCount_
                << " would not load, " << FindingCount() << "\n";
    }
    FinishJson();
  }
  // The summary of the object library checked alone: no region was.
  void FinishLibrary(bool loads) const {
    if (!json_) {
      std::cout << "the object library checked, " << (loads ? "" : "the viewer could not start with it, ")
                << FindingCount() << "\n";
    }
    FinishJson();
  }
  bool AnyRegionFailed() const { return failedCount_ > 0; }

 private:
  std::string FindingCount() const {
    return std::to_string(findingCount_) + (findingCount_ == 1 ? " finding" : " findings");
  }
  void FinishJson() const {
    if (json_) {
      std::cout << JsonText({{"files", files_}}) << "\n";
    }
  }

  bool json_;
  nlohmann::json files_ = nlohmann::json::array();
  std::size_t regionCount_ = 0;
  std::size_t failedCount_ = 0;
  std::size_t findingCount_ = 0;
};

bool NamedLikeLibrary(const std::filesystem::path& path) {
  std::string name = platform::PathText(path.filename());
  for (char& c : name) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name == kObjectLibraryFileName;
}

// The whole folder, as the viewer would meet it: the library first, then every region.
int CheckFolder(const std::filesystem::path& folder, bool json) {
  Report report(json);
  const std::string libraryPath = ObjectLibraryIn(platform::PathText(folder));
  const LibraryCheck library = CheckLibrary(libraryPath);
  report.AddFile(libraryPath, library.loads, library.findings);
  const RegionFileList regionFiles = RegionFilesIn(platform::PathText(folder));
  const std::vector<std::string>& names = regionFiles.names;
  if (!regionFiles.problem.empty()) {
    report.AddFile(platform::PathText(folder), false,
                   {{platform::PathText(folder), FindingKind::kNoRegions, "", "",
                     regionFiles.problem + ": the viewer cannot start (\"Unable to find region files!\")"}});
  }
  for (const std::string& name : names) {
    const std::string path = platform::PathText(folder / platform::NativePath(name));
    report.AddRegion(path, CheckRegion(path, library.library.get()));
  }
  report.Finish();
  return report.AnyRegionFailed() || !library.loads || names.empty() ? kExitFailure : kExitSuccess;
}

// One file: the library by itself, or a region against the library beside it.
int CheckFile(const std::filesystem::path& file, bool json) {
  Report report(json);
  if (NamedLikeLibrary(file) || LooksLikeLibraryFile(platform::PathText(file))) {
    const LibraryCheck library = CheckLibrary(platform::PathText(file));
    report.AddFile(platform::PathText(file), library.loads, library.findings);
    report.FinishLibrary(library.loads);
    return library.loads ? kExitSuccess : kExitFailure;
  }
  const std::string besideIt = ObjectLibraryIn(platform::PathText(file.parent_path()));
  std::error_code error;
  std::unique_ptr<ObjectLibrary> library;
  if (std::filesystem::exists(platform::NativePath(besideIt), error)) {
    library = std::move(CheckLibrary(besideIt).library);
  }
  if (!library) {
    report.Remark("note: no readable " + std::string(kObjectLibraryFileName) + " beside " + platform::PathText(file) +
                  ": the objects of its entities are not checked");
  }
  const RegionCheck region = CheckRegion(platform::PathText(file), library.get());
  report.AddRegion(platform::PathText(file), region);
  report.Finish();
  return region.loads ? kExitSuccess : kExitFailure;
}

int RunCheck(const CheckOptions& options) {
  std::error_code error;
  const std::filesystem::path path = platform::NativePath(options.path);
  if (std::filesystem::is_directory(path, error)) {
    return CheckFolder(path, options.json);
  }
  if (const std::string problem = InputProblem(options.path); !problem.empty()) {
    ReportError(kTool, options.path, problem);
    return kExitFailure;
  }
  return CheckFile(path, options.json);
}

}  // namespace

void AddCheckCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<CheckOptions>();
  CLI::App* command = app.add_subcommand(
      "check", "Report everything in a game folder that would keep the viewer from loading or drawing a region");
  command->footer(
      "With a folder: its OBJEX.GFF and every RGN*.GFF in it, in the viewer's order. With a file:\n"
      "that file alone, a region (checked against the OBJEX.GFF beside it, if there is one) or the\n"
      "object library. One line per finding, \"FILE: CHUNK: what is wrong: what it does\", then\n"
      "\"N regions checked, M would not load, K findings\" (for the object library alone, \"the\n"
      "object library checked, K findings\"). With --json, one document instead:\n"
      "  {\"files\":[{\"file\":\"RGN01.GFF\",\"loads\":true,\n"
      "             \"findings\":[{\"kind\":\"tile-wrong-size\",\"chunk\":\"TILE 7\",\"text\":...}]}]}\n"
      "a file's findings with a short fixed name for each kind, the chunk (null when the finding\n"
      "is about the file) and the text of the finding's line after the file name.\n"
      "\n"
      "Findings: a region that would not load (no container, no palette or one under 768 bytes,\n"
      "no TILE chunk, no map or one under 12288 bytes); chunks that cannot be read; map cells\n"
      "naming tiles that do not exist; tiles that are not one 16 x 16 frame; entities whose object\n"
      "or bitmap is missing, empty or too large; decoder diagnostics, with their chunk and frame;\n"
      "a library that is missing, no container, or without a BMP frame set.\n"
      "\n"
      "Exit status: 1 when a region would not load or the viewer could not start, else 0.\n"
      "\n"
      "Examples:\n"
      "  karst-gff check ~/game              the whole folder\n"
      "  karst-gff check ~/game/RGN03.GFF    one region, against ~/game/OBJEX.GFF\n"
      "  karst-gff check ~/game/OBJEX.GFF    the object library alone\n"
      "  karst-gff check ~/game --json       the findings as JSON");
  command->add_option("GAMEDIR|FILE.GFF", options->path, "a game folder or one container")->required()->type_name("");
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunCheck(*options); });
}

}  // namespace karst::tools
