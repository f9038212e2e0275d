#include "tools/karst-gff/check_command.h"

#include <iostream>
#include <memory>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/inspect/game_check.h"
#include "tools/job/job_context.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

struct CheckOptions {
  std::string path;
  bool json = false;
};

// What a check found: as text, a line per finding, then a summary; as JSON, one document,
// {"files":[{"file":..,"loads":..,"findings":[{"kind":..,"chunk":..,"text":..}]}]}. Remarks that
// are no findings are lines of the text, and on standard error beside the JSON, which holds
// findings alone.
void PrintCheck(const GameCheckResult& check, bool json) {
  std::ostream& remarks = json ? std::cerr : std::cout;
  for (const JobProblem& problem : check.problems) {
    if (problem.kind == ProblemKind::kNote) {
      remarks << "note: " << problem.words << "\n";
    } else {
      ReportError(kTool, problem.file, problem.words);
    }
  }
  nlohmann::json files = nlohmann::json::array();
  for (const CheckedFile& checked : check.files) {
    if (!json) {
      for (const Finding& finding : checked.findings) {
        std::cout << FindingText(finding) << "\n";
      }
      continue;
    }
    // Tag bytes in a finding (an unknown encoding's) are kept as the characters of their values.
    nlohmann::json list = nlohmann::json::array();
    for (const Finding& finding : checked.findings) {
      const std::string& chunk = finding.place.chunk;
      list.push_back({{"kind", FindingKindName(finding.kind)},
                      {"chunk", chunk.empty() ? nlohmann::json() : nlohmann::json(ByteText(chunk))},
                      {"text", ByteText(FindingLine(finding))}});
    }
    files.push_back({{"file", checked.file}, {"loads", checked.loads}, {"findings", std::move(list)}});
  }
  if (json) {
    std::cout << JsonText({{"files", files}}) << "\n";
    return;
  }
  const std::size_t findings = check.FindingCount();
  const std::string findingCount = std::to_string(findings) + (findings == 1 ? " finding" : " findings");
  if (check.input == CheckedInput::kLibrary) {
    // The object library checked alone: no region was.
    const bool loads = !check.files.empty() && check.files.front().loads;
    std::cout << "the object library checked, " << (loads ? "" : "the viewer could not start with it, ") << findingCount
              << "\n";
    return;
  }
  const std::size_t regions = check.RegionCount();
  std::cout << regions << (regions == 1 ? " region" : " regions") << " checked, " << check.FailedRegionCount()
            << " would not load, " << findingCount << "\n";
}

int RunCheck(const CheckOptions& options) {
  GameCheckResult check;
  {
    ProgressBar bar(platform::StandardErrorIsTerminal());
    JobContext context(bar.Listener());
    check = CheckGame(options.path, context);
  }
  // A path that cannot be read is an error alone, without a summary.
  if (check.files.empty()) {
    for (const JobProblem& problem : check.problems) {
      ReportError(kTool, problem.file, problem.words);
    }
    return kExitFailure;
  }
  PrintCheck(check, options.json);
  return check.Passed() ? kExitSuccess : kExitFailure;
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
