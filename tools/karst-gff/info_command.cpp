#include "tools/karst-gff/info_command.h"

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gff/gff_file.h"
#include "tools/common/cli.h"
#include "tools/common/directory_listing.h"
#include "tools/common/input_file.h"
#include "tools/common/json_text.h"

namespace karst::tools {
namespace {

constexpr const char* kTool = "karst-gff";

struct InfoOptions {
  std::string path;
  bool json = false;
};

int RunInfo(const InfoOptions& options) {
  const std::string problem = InputProblem(options.path);
  if (!problem.empty()) {
    ReportError(kTool, options.path, problem);
    return kExitFailure;
  }
  GffFile file;
  std::vector<LoadNote> notes;
  const bool opened = file.Open(options.path, LoadReport::Into(notes));
  // The lines the viewer prints for the reader's notes are diagnostics here: standard error, so
  // standard output stays the listing or the JSON alone.
  for (const LoadNote& note : notes) {
    if (const std::optional<PrintedLine> line = PrintedLineOf(note)) {
      ReportError(kTool, options.path, EscapedText(line->text));
    }
  }
  if (!opened) {
    ReportError(kTool, options.path, "not a GFF container (no \"GFFI\" header, or too short)");
    return kExitFailure;
  }
  for (const std::string& warning : DirectoryWarnings(file)) {
    ReportError(kTool, options.path, "warning: " + warning);
  }
  if (options.json) {
    std::cout << JsonText(DirectoryJson(file.directory())) << "\n";
  } else {
    std::cout << DirectoryListing(options.path, file.directory());
  }
  return kExitSuccess;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* command = app.add_subcommand("info", "Show the chunk directory of a GFF container");
  command->footer(
      "Tag bytes outside printable ASCII are shown as \\xXX in the text and as \\u00XX in the JSON,\n"
      "whose \"tagHex\" holds the four bytes in hex. A directory that the file cuts short is\n"
      "listed as far as it can be read, with a warning on standard error saying how many bytes\n"
      "are missing.\n"
      "\n"
      "Examples:\n"
      "  karst-gff info RGN01.GFF            records and entries as text\n"
      "  karst-gff info OBJEX.GFF --json     the same as JSON:\n"
      "    {\"types\":[{\"count\":3,\"entries\":[{\"number\":9,\"offset\":120,\"size\":300}],\n"
      "                \"flags\":0,\"indexed\":false,\"tag\":\"TILE\",\"tagHex\":\"54494c45\"}]}");
  command->add_option("file", options->path, "the container to read")->required();
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

}  // namespace karst::tools
