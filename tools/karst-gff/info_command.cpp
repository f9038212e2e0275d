#include "tools/karst-gff/info_command.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/cli/cli.h"
#include "tools/inspect/directory_listing.h"
#include "tools/job/job_context.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

struct InfoOptions {
  std::vector<std::string> paths;
  bool json = false;
};

// Every file in turn, with the viewer's lines for what opening it met and its warnings on
// standard error; one that cannot be described is named there and left out of the listing or the
// array, and the run ends with exit status 1 once the others are shown.
int RunInfo(const InfoOptions& options) {
  JobContext context;
  const DirectoriesResult result = ReadDirectories(options.paths, context);
  int exitCode = kExitSuccess;
  nlohmann::json array = nlohmann::json::array();
  bool first = true;
  for (const ContainerDirectory& listed : result.files) {
    // The lines the viewer prints for the reader's notes are diagnostics here: standard error, so
    // standard output stays the listing or the JSON alone.
    for (const JobProblem& note : listed.notes) {
      ReportError(kTool, listed.file, ShownText(note.words));
    }
    if (listed.problem) {
      ReportError(kTool, listed.file, listed.problem->words);
      exitCode = kExitFailure;
      continue;
    }
    for (const std::string& warning : listed.warnings) {
      ReportError(kTool, listed.file, "warning: " + warning);
    }
    if (options.json) {
      nlohmann::json described = DirectoryJson(listed.records);
      described["file"] = listed.file;
      array.push_back(std::move(described));
      continue;
    }
    // A blank line between files; each listing begins with its file's name. Flushed so that
    // it stays in order with the errors about the files that follow.
    std::cout << (first ? "" : "\n") << DirectoryListing(listed.file, listed.records) << std::flush;
    first = false;
  }
  if (options.json && options.paths.size() > 1) {
    std::cout << JsonText(array) << "\n";
  } else if (options.json && !array.empty()) {
    std::cout << JsonText(array[0]) << "\n";
  }
  return exitCode;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* command = app.add_subcommand("info", "Show the chunk directory of a GFF container");
  command->footer(
      "Tag bytes are Latin-1 characters: the text shows the printable ones in the terminal's\n"
      "encoding and every other byte (control bytes, and what the encoding cannot show) as \\xXX;\n"
      "the JSON has each byte outside printable ASCII as \\u00XX, and \"tagHex\" holds the four bytes\n"
      "in hex. A directory that the file cuts short is listed as far as it can be read, with a\n"
      "warning on standard error saying how many bytes are missing.\n"
      "\n"
      "\n"
      "Several files are shown one after the other, each headed by its name; with --json they give\n"
      "an array of the objects one file gives. A file that cannot be read is named on standard\n"
      "error and left out, the others are still shown, and the exit status is then 1.\n"
      "\n"
      "Examples:\n"
      "  karst-gff info RGN01.GFF            records and entries as text\n"
      "  karst-gff info OBJEX.GFF --json     the same as JSON:\n"
      "    {\"file\":\"OBJEX.GFF\",\"types\":[{\"count\":3,\"entries\":[{\"number\":9,\"offset\":120,\n"
      "     \"size\":300}],\"flags\":0,\"indexed\":false,\"tag\":\"TILE\",\"tagHex\":\"54494c45\"}]}\n"
      "  karst-gff info RGN*.GFF --json      an array, one object per file");
  command->add_option("FILE.GFF", options->paths, "the containers to read")->required()->type_name("");
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

}  // namespace karst::tools
