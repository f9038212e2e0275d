#include "tools/karst-render/frames_command.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
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
#include "tools/common/output_checks.h"
#include "tools/common/png_file.h"
#include "tools/common/unique_names.h"

namespace karst::tools {
namespace {

constexpr const char* kTool = "karst-render";

struct FramesOptions {
  std::string path;
  std::string outputDirectory;
};

// One chunk whose frames are written: as <stem>-<frame>.png, the stem TAG-number, made unique.
struct ChunkOutput {
  Tag tag;
  const ChunkEntry* entry;
  std::string name;  // TAG-number
  std::string stem;
};

std::vector<ChunkOutput> PlanOutputs(const GffDirectory& directory) {
  std::vector<ChunkOutput> chunks;
  UniqueNames stems;
  for (const ChunkType& record : directory) {
    if (!IsFrameSetTag(record.tag) || !record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      const std::string name = TagName(record.tag) + "-" + std::to_string(entry.number);
      chunks.push_back({record.tag, &entry, name, stems.Claim(name)});
    }
  }
  return chunks;
}

// Checks every entry already in `directory` that a frame would be written over: named
// <stem>-<digits>.png for a planned stem, without regard to case, as a file system may ignore
// it. False after reporting the first refused one.
bool FrameOutputsAllowed(const std::filesystem::path& directory, const std::vector<ChunkOutput>& chunks,
                         const InputFiles& inputs) {
  std::set<std::string> stems;
  for (const ChunkOutput& chunk : chunks) {
    stems.insert(FoldCase(chunk.stem));
  }
  std::error_code error;
  std::filesystem::directory_iterator entries(directory, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::string name = FoldCase(entries->path().filename().string());
    if (!name.ends_with(".png")) {
      continue;
    }
    const std::string base = name.substr(0, name.size() - 4);
    const std::size_t dash = base.rfind('-');
    if (dash == std::string::npos || dash + 1 == base.size() ||
        base.find_first_not_of("0123456789", dash + 1) != std::string::npos || !stems.contains(base.substr(0, dash))) {
      continue;
    }
    const std::string output = entries->path().string();
    if (const std::string refusal = RefuseOutput(output, inputs); !refusal.empty()) {
      ReportError(kTool, output, refusal);
      return false;
    }
  }
  return true;
}

int RunFrames(const FramesOptions& options) {
  if (const std::string problem = InputProblem(options.path); !problem.empty()) {
    ReportError(kTool, options.path, problem);
    return kExitFailure;
  }
  const std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(options.path);
  if (!bytes) {
    ReportError(kTool, options.path, "cannot be read: " + std::make_error_code(std::errc::io_error).message());
    return kExitFailure;
  }
  // The payloads are taken from the bytes in memory rather than through the container's stream,
  // so one chunk that cannot be read does not stop the frames of the chunks after it.
  GffFile file;
  if (!file.OpenBytes(*bytes, PrintedNotes())) {
    ReportError(kTool, options.path, "not a GFF container (no \"GFFI\" header, or too short)");
    return kExitFailure;
  }
  const InputFiles inputs({options.path});
  if (const std::string refusal = RefuseOutputFolder(options.outputDirectory, inputs); !refusal.empty()) {
    ReportError(kTool, options.outputDirectory, refusal);
    return kExitUsage;
  }
  const std::filesystem::path directory(options.outputDirectory);
  const std::vector<ChunkOutput> chunks = PlanOutputs(file.directory());
  if (!FrameOutputsAllowed(directory, chunks, inputs)) {
    return kExitUsage;
  }
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) {
    ReportError(kTool, options.outputDirectory, "cannot create the directory: " + error.message());
    return kExitFailure;
  }

  const PngPalette palette = GreyPalette();
  int written = 0;
  bool failed = false;
  for (const ChunkOutput& chunk : chunks) {
    const ChunkEntry& entry = *chunk.entry;
    if (std::uint64_t{entry.offset} + entry.size > bytes->size()) {
      ReportError(kTool, options.path, chunk.stem + ": payload lies beyond the end of the file");
      failed = true;
      continue;
    }
    const std::span<const std::uint8_t> payload = std::span(*bytes).subspan(entry.offset, entry.size);
    // Each chunk gets the budget of a load of its own size: the frames are written and freed
    // chunk by chunk.
    AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
    FrameSet frameSet;
    DecodeFrameSet(frameSet, payload, budget, PrintedNotes().ForChunk(chunk.tag, entry));
    for (std::size_t index = 0; index < frameSet.frames.size(); ++index) {
      const Frame& frame = frameSet.frames[index];
      const std::string frameName = chunk.stem + "-" + std::to_string(index);
      if (!frame.HasPixels()) {
        ReportError(kTool, options.path,
                    frameName + ": no pixels (" + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                        "), skipped");
        continue;
      }
      const std::string output = (directory / (frameName + ".png")).string();
      if (const std::string failure = WriteIndexedPng(output, frame.width, frame.height, frame.pixels, palette);
          !failure.empty()) {
        ReportError(kTool, output, failure);
        failed = true;
        continue;
      }
      ++written;
    }
  }
  std::cout << written << (written == 1 ? " frame" : " frames") << " written to " << directory.string() << "\n";
  bool renamedHeading = false;
  for (const ChunkOutput& chunk : chunks) {
    if (chunk.stem == chunk.name) {
      continue;
    }
    if (!renamedHeading) {
      std::cout << "renamed, as an earlier chunk has the same tag and number:\n";
      renamedHeading = true;
    }
    std::cout << "  " << chunk.name << " at offset " << chunk.entry->offset << " -> "
              << (directory / (chunk.stem + "-<frame>.png")).string() << "\n";
  }
  return failed ? kExitFailure : kExitSuccess;
}

}  // namespace

void AddFramesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FramesOptions>();
  CLI::App* command =
      app.add_subcommand("frames", "Write every frame of every TILE, BMP and CBMP chunk as an indexed PNG");
  command->footer(
      "Each frame becomes DIR/<TAG>-<number>-<frame>.png with a greyscale palette (index i is\n"
      "grey i), e.g. TILE-3-0.png, BMP-7-0.png, CBMP-12-2.png. Frames without pixels are skipped\n"
      "and named on standard error. A later chunk with the same tag and number as an earlier one\n"
      "gets -2, -3, ... after its number (BMP-7-2-0.png, ...); the summary names each one. A\n"
      "picture that would be the input or any file holding a GFF container is refused (exit\n"
      "status 2) and nothing is written.\n"
      "\n"
      "Examples:\n"
      "  karst-render frames RGN01.GFF -o rgn01-tiles     every tile of a region\n"
      "  karst-render frames OBJEX.GFF -o objects         every object bitmap");
  command->add_option("file", options->path, "the container to read")->required()->type_name("FILE.GFF");
  command->add_option("-o,--output", options->outputDirectory, "the directory to write into (created when missing)")
      ->required()
      ->type_name("DIR");
  command->callback([options, &exitCode] { exitCode = RunFrames(*options); });
}

}  // namespace karst::tools
