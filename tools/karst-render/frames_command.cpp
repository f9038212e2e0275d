#include "tools/karst-render/frames_command.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/cli/shown_notes.h"
#include "tools/karst-render/render_tool.h"
#include "tools/karst-render/run_report.h"
#include "tools/render/frames_job.h"
#include "tools/render/render_region.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

// The summary: how many pictures were written and where, the chunks without them, and the
// chunks renamed. The exit status: 1 when some picture was not written, else 0.
int ReportWritten(const FramesRequest& request, const FramesResult& result) {
  const std::filesystem::path directory = platform::NativePath(request.outputFolder);
  std::size_t written = 0;
  std::size_t cutShort = 0;
  bool failed = false;
  std::vector<std::string> withoutSheet;
  for (const FramesChunk& chunk : result.chunks) {
    written += chunk.written;
    cutShort += chunk.read ? 0 : 1;
    failed = failed || !chunk.problems.empty();
    if (chunk.withoutSheet) {
      withoutSheet.push_back(chunk.stem);
    }
  }
  const char* unit = request.sheet ? (written == 1 ? " sheet" : " sheets") : (written == 1 ? " frame" : " frames");
  std::cout << written << unit << " written to " << platform::PathText(directory);
  if (cutShort > 0) {
    std::cout << "; " << cutShort << (cutShort == 1 ? " chunk" : " chunks")
              << " not read, as the file ends before their payload does";
  }
  std::cout << "\n";
  if (!withoutSheet.empty()) {
    std::cout << "no sheet, as no frame has pixels:";
    for (const std::string& stem : withoutSheet) {
      std::cout << " " << stem;
    }
    std::cout << "\n";
  }
  bool renamedHeading = false;
  for (const FramesChunk& chunk : result.chunks) {
    if (chunk.stem == chunk.name) {
      continue;
    }
    if (!renamedHeading) {
      std::cout << "renamed, as an earlier chunk has the same tag and number:\n";
      renamedHeading = true;
    }
    std::cout << "  " << chunk.name << " at offset " << chunk.offset << " -> "
              << platform::PathText(directory /
                                    platform::NativePath(chunk.stem + (request.sheet ? ".png" : "-<frame>.png")))
              << "\n";
  }
  return failed ? kExitFailure : kExitSuccess;
}

int RunFrames(const FramesRequest& request) {
  ProgressBar bar(platform::StandardErrorIsTerminal());
  JobContext context(bar.Listener());
  const FramesResult result = RenderFrames(request, context);
  bar.Finish();
  for (const LoadNote& note : result.openNotes) {
    PrintShownNote(note);
  }
  for (const std::string& warning : result.directoryWarnings) {
    ReportError(kTool, request.container, "warning: " + warning);
  }
  for (const FramesChunk& chunk : result.chunks) {
    for (const LoadNote& note : chunk.notes) {
      PrintShownNote(note);
    }
    for (const std::string& skipped : chunk.skipped) {
      ReportError(kTool, request.container, skipped);
    }
    ReportProblems(chunk.problems);
  }
  if (!result.problems.empty()) {
    return ReportProblems(result.problems);
  }
  return ReportWritten(request, result);
}

}  // namespace

void AddFramesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FramesRequest>();
  CLI::App* command =
      app.add_subcommand("frames", "Write every frame of every TILE, BMP and CBMP chunk as an indexed PNG");
  command->footer(
      "Each frame becomes DIR/<TAG>-<number>-<frame>.png, e.g. TILE-3-0.png, BMP-7-0.png,\n"
      "CBMP-12-2.png, with a greyscale palette (index i is grey i). With --palette the colours are\n"
      "those of the region RGN.GFF as the viewer shows them, and index 0 of BMP and CBMP frames is\n"
      "transparent, as the object layer draws them; tiles stay opaque. --scale N makes every pixel\n"
      "an N x N square. Frames without pixels are skipped and named on standard error.\n"
      "\n"
      "With --sheet each chunk becomes one picture, DIR/<TAG>-<number>.png, its frames left to\n"
      "right, top aligned, the rest index 0, and DIR/<TAG>-<number>.json, the frames' rectangles\n"
      "in the JSON-array sprite-sheet layout game engines read. A chunk without a frame that has\n"
      "pixels gets no sheet; the summary names it. A picture wider or higher than 1000000 pixels,\n"
      "or of more than 256 Mi pixels, is refused, naming the chunk or frame.\n"
      "\n"
      "A later chunk with the same tag and number as an earlier one gets -2, -3, ... after its\n"
      "number (BMP-7-2-0.png, ...); the summary names each one. A picture that would be an input\n"
      "or any file holding a GFF container is refused (exit status 2) and nothing is written.\n"
      "\n"
      "Examples:\n"
      "  karst-render frames RGN01.GFF -o rgn01-tiles                 every tile of a region\n"
      "  karst-render frames OBJEX.GFF -o objects                     every object bitmap\n"
      "  karst-render frames OBJEX.GFF --palette RGN01.GFF -o colour  in colour, see-through\n"
      "  karst-render frames OBJEX.GFF --palette RGN01.GFF --scale 2 --sheet -o sheets");
  command->add_option("FILE.GFF", options->container, "the container to read")->required()->type_name("");
  command->add_option("-o,--output", options->outputFolder, "the directory to write into (created when missing)")
      ->required()
      ->type_name("DIR");
  command->add_option("--palette", options->palette, "the region whose colours the pictures get")->type_name("RGN.GFF");
  command->add_option("--scale", options->scale, "enlarge every pixel to N x N")
      ->check(CLI::Range(kMinScale, kMaxScale))
      ->option_text("N (1 to 16)");
  command->add_flag("--sheet", options->sheet, "one picture and one JSON description per chunk");
  command->callback([options, &exitCode] { exitCode = RunFrames(*options); });
}

}  // namespace karst::tools
