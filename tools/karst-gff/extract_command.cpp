#include "tools/karst-gff/extract_command.h"

#include <cstdint>
#include <memory>
#include <string>

#include "display/printed_notes.h"
#include "tools/cli/cli.h"
#include "tools/files/output_file.h"
#include "tools/inspect/chunk_extract.h"
#include "tools/job/job_context.h"
#include "tools/karst-gff/gff_tool.h"

namespace karst::tools {
namespace {

struct ExtractOptions {
  std::string path;
  std::string tag;
  std::uint32_t number = 0;
  std::string output;
};

int RunExtract(const ExtractOptions& options) {
  ReserveStandardOutputFor(options.output);
  JobContext context;
  const ExtractResult result =
      ExtractChunk({options.path, PaddedTag(options.tag), options.number, options.output}, context);
  for (const LoadNote& note : result.notes) {
    PrintNote(note);
  }
  for (const JobProblem& problem : result.problems) {
    ReportError(kTool, problem.file, problem.words);
  }
  if (result.problems.empty()) {
    return kExitSuccess;
  }
  return result.problems.front().kind == ProblemKind::kOutputRefused ? kExitUsage : kExitFailure;
}

}  // namespace

void AddExtractCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ExtractOptions>();
  CLI::App* command = app.add_subcommand("extract", "Write the raw payload of one chunk to a file");
  command->footer(
      "TAG is up to four characters; shorter tags are padded with blanks (BMP means \"BMP \").\n"
      "The first chunk with that tag and number in directory order is taken. OUT is written\n"
      "whole or not at all; - is the standard output. OUT is never the input nor any file that\n"
      "holds a GFF container: such an OUT is refused (exit status 2) and nothing is written.\n"
      "A palette comes out raw, 6-bit values; \"karst-gff palette\" writes its colours.\n"
      "\n"
      "Examples:\n"
      "  karst-gff extract RGN01.GFF PAL 3 -o rgn01-pal.bin    the palette, 768 bytes\n"
      "  karst-gff extract OBJEX.GFF BMP 552 -o bmp552.bin     a bitmap's frame set\n"
      "  karst-gff extract RGN01.GFF ETAB 5 -o entities.bin    the entity table\n"
      "  karst-gff extract RGN01.GFF MAP 7 -o - | xxd          to standard output");
  command->add_option("FILE.GFF", options->path, "the container to read")->required()->type_name("");
  command->add_option("TAG", options->tag, "the chunk type, e.g. TILE, BMP, OJFF")
      ->required()
      ->type_name("")
      ->check([](const std::string& text) {
        return text.empty() || text.size() > 4 ? std::string("a tag has 1 to 4 characters") : std::string();
      });
  command->add_option("NUMBER", options->number, "the chunk number")->required()->type_name("")->check(ChunkNumber());
  command->add_option("-o,--output", options->output, "the file to write; - for standard output")
      ->required()
      ->type_name("OUT");
  command->callback([options, &exitCode] { exitCode = RunExtract(*options); });
}

}  // namespace karst::tools
