#include "tools/karst-render/frames_command.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "display/printed_notes.h"
#include "gff/allocation_budget.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "tools/common/cli.h"
#include "tools/common/input_file.h"
#include "tools/common/png_file.h"

namespace karst::tools {
namespace {

constexpr const char* kTool = "karst-render";

struct FramesOptions {
  std::string path;
  std::string outputDirectory;
};

int RunFrames(const FramesOptions& options) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(options.path, error)) {
    ReportError(kTool, options.path, "no such file");
    return kExitFailure;
  }
  const std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(options.path);
  if (!bytes) {
    ReportError(kTool, options.path, "cannot be read");
    return kExitFailure;
  }
  // The payloads are taken from the bytes in memory rather than through the container's stream,
  // so one chunk that cannot be read does not stop the frames of the chunks after it.
  GffFile file;
  if (!file.OpenBytes(*bytes, PrintedNotes())) {
    ReportError(kTool, options.path, "not a GFF container (no \"GFFI\" header, or too short)");
    return kExitFailure;
  }
  const std::filesystem::path directory(options.outputDirectory);
  std::filesystem::create_directories(directory, error);
  if (error) {
    ReportError(kTool, options.outputDirectory, "cannot create the directory: " + error.message());
    return kExitFailure;
  }

  const PngPalette palette = GreyPalette();
  int written = 0;
  bool failed = false;
  for (const ChunkType& record : file.directory()) {
    if (!IsFrameSetTag(record.tag) || !record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      const std::string chunkName = TagName(record.tag) + "-" + std::to_string(entry.number);
      if (std::uint64_t{entry.offset} + entry.size > bytes->size()) {
        ReportError(kTool, options.path, chunkName + ": payload lies beyond the end of the file");
        failed = true;
        continue;
      }
      const std::span<const std::uint8_t> payload =
          std::span(*bytes).subspan(entry.offset, entry.size);
      // Each chunk gets the budget of a load of its own size: the frames are written and freed
      // chunk by chunk.
      AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
      FrameSet frameSet;
      DecodeFrameSet(frameSet, payload, budget, PrintedNotes().ForChunk(record.tag, entry));
      for (std::size_t index = 0; index < frameSet.frames.size(); ++index) {
        const Frame& frame = frameSet.frames[index];
        const std::string frameName = chunkName + "-" + std::to_string(index);
        if (!frame.HasPixels()) {
          ReportError(kTool, options.path,
                      frameName + ": no pixels (" + std::to_string(frame.width) + " x " +
                          std::to_string(frame.height) + "), skipped");
          continue;
        }
        const std::filesystem::path output = directory / (frameName + ".png");
        if (!WriteIndexedPng(output.string(), frame.width, frame.height, frame.pixels, palette)) {
          ReportError(kTool, output.string(), "cannot be written");
          failed = true;
          continue;
        }
        ++written;
      }
    }
  }
  std::cout << written << (written == 1 ? " frame" : " frames") << " written to "
            << directory.string() << "\n";
  return failed ? kExitFailure : kExitSuccess;
}

}  // namespace

void AddFramesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FramesOptions>();
  CLI::App* command = app.add_subcommand(
      "frames", "Write every frame of every TILE, BMP and CBMP chunk as an indexed PNG");
  command->footer(
      "Each frame becomes DIR/<TAG>-<number>-<frame>.png with a greyscale palette (index i is\n"
      "grey i), e.g. TILE-3-0.png, BMP-7-0.png, CBMP-12-2.png. Frames without pixels are skipped\n"
      "and named on standard error.\n"
      "\n"
      "Examples:\n"
      "  karst-render frames RGN01.GFF -o rgn01-tiles     every tile of a region\n"
      "  karst-render frames OBJEX.GFF -o objects         every object bitmap");
  command->add_option("file", options->path, "the container to read")
      ->required()
      ->type_name("FILE.GFF");
  command
      ->add_option("-o,--output", options->outputDirectory,
                   "the directory to write into (created when missing)")
      ->required()
      ->type_name("DIR");
  command->callback([options, &exitCode] { exitCode = RunFrames(*options); });
}

}  // namespace karst::tools
