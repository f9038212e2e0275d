#include "tools/karst-render/frames_command.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "gff/allocation_budget.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/inspect/directory_listing.h"
#include "tools/karst-render/render_tool.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/region_palette.h"
#include "tools/render/render_region.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

struct FramesOptions {
  std::string path;
  std::string outputDirectory;
  std::string palettePath;
  std::uint32_t scale = 1;
  bool sheet = false;
};

// The largest picture written: libpng's limit on a side, which readers apply by default too, and
// a bound on the bytes held for one picture, checked before they are allocated.
constexpr std::uint64_t kMostPictureSide = 1'000'000;
constexpr std::uint64_t kMostPicturePixels = std::uint64_t{256} << 20;

// One chunk whose frames are written: as <stem>-<frame>.png, or as the sheet <stem>.png with
// <stem>.json; the stem TAG-number, made unique.
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

// Whether `name` (in lower case) is one a planned stem writes: <stem>-<digits>.png for frames,
// <stem>.png and <stem>.json for sheets.
bool IsPlannedName(const std::string& name, const std::set<std::string>& stems, bool sheet) {
  if (sheet) {
    const std::size_t dot = name.rfind('.');
    return dot != std::string::npos && (name.substr(dot) == ".png" || name.substr(dot) == ".json") &&
           stems.contains(name.substr(0, dot));
  }
  if (!name.ends_with(".png")) {
    return false;
  }
  const std::string base = name.substr(0, name.size() - 4);
  const std::size_t dash = base.rfind('-');
  return dash != std::string::npos && dash + 1 != base.size() &&
         base.find_first_not_of("0123456789", dash + 1) == std::string::npos && stems.contains(base.substr(0, dash));
}

// Checks every entry already in `directory` that an output would be written over, found without
// regard to case, as a file system may ignore it. False after reporting the first refused one.
bool OutputsAllowed(const std::filesystem::path& directory, const std::vector<ChunkOutput>& chunks, bool sheet,
                    const InputFiles& inputs) {
  std::set<std::string> stems;
  for (const ChunkOutput& chunk : chunks) {
    stems.insert(FoldCase(chunk.stem));
  }
  std::error_code error;
  std::filesystem::directory_iterator entries(directory, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    if (!IsPlannedName(FoldCase(platform::PathText(entries->path().filename())), stems, sheet)) {
      continue;
    }
    const std::string output = platform::PathText(entries->path());
    if (const std::string refusal = RefuseOutput(output, inputs); !refusal.empty()) {
      ReportError(kTool, output, refusal);
      return false;
    }
  }
  return true;
}

// Why a picture of width x height enlarged `scale` times is not made; empty when it may be.
std::string SizeRefusal(std::uint64_t width, std::uint64_t height, std::uint32_t scale) {
  const std::uint64_t scaledWidth = width * scale;
  const std::uint64_t scaledHeight = height * scale;
  if (scaledWidth <= kMostPictureSide && scaledHeight <= kMostPictureSide &&
      scaledWidth * scaledHeight <= kMostPicturePixels) {
    return {};
  }
  return std::to_string(scaledWidth) + " x " + std::to_string(scaledHeight) +
         " pixels would pass the largest picture written (" + std::to_string(kMostPictureSide) + " pixels a side, " +
         std::to_string(kMostPicturePixels >> 20) + " Mi pixels in all); not written";
}

// What every picture of a run shares: the colours, which of them show through, the scale.
struct PictureStyle {
  PngPalette palette;
  bool coloured = false;
  std::uint32_t scale = 1;

  // Object bitmaps are drawn with colour key 0, tiles opaque; greyscale pictures keep every
  // index visible, as they always have.
  PngTransparency TransparencyFor(const Tag& tag) const {
    return coloured && !SameTag(tag, kTagTile) ? PngTransparency::kIndexZero : PngTransparency::kOpaque;
  }
};

struct NamedFrame {
  std::string name;  // <stem>-<frame>
  const Frame* frame;
};

// The frames of one chunk that have pixels, each with its name; the others are named on
// standard error and left out.
std::vector<NamedFrame> DrawableFrames(const FrameSet& frameSet, const ChunkOutput& chunk, const std::string& path) {
  std::vector<NamedFrame> drawable;
  for (std::size_t index = 0; index < frameSet.frames.size(); ++index) {
    const Frame& frame = frameSet.frames[index];
    const std::string frameName = chunk.stem + "-" + std::to_string(index);
    if (!frame.HasPixels()) {
      ReportError(kTool, path,
                  frameName + ": no pixels (" + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                      "), skipped");
      continue;
    }
    drawable.push_back({frameName, &frame});
  }
  return drawable;
}

// Writes each frame as its own picture. Counts the pictures written; false when one failed.
bool WriteFrames(const std::vector<NamedFrame>& frames, const ChunkOutput& chunk,
                 const std::filesystem::path& directory, const PictureStyle& style, int& written) {
  bool ok = true;
  for (const auto& [frameName, frame] : frames) {
    const std::string output = platform::PathText(directory / platform::NativePath(frameName + ".png"));
    std::string failure = SizeRefusal(frame->width, frame->height, style.scale);
    if (failure.empty()) {
      failure = WriteIndexedPng(output, frame->width, frame->height, frame->pixels, style.palette, style.scale,
                                style.TransparencyFor(chunk.tag));
    }
    if (!failure.empty()) {
      ReportError(kTool, output, failure);
      ok = false;
      continue;
    }
    ++written;
  }
  return ok;
}

// The sprite-sheet description of `frames` laid left to right, top aligned, in the sheet's
// pixels after scaling.
nlohmann::json SheetJson(const std::vector<NamedFrame>& frames, const std::string& image, std::uint64_t width,
                         std::uint64_t height, std::uint32_t scale) {
  nlohmann::json entries = nlohmann::json::array();
  std::uint64_t x = 0;
  for (const auto& [frameName, frame] : frames) {
    const std::uint64_t w = std::uint64_t{frame->width} * scale;
    const std::uint64_t h = std::uint64_t{frame->height} * scale;
    entries.push_back({{"filename", frameName},
                       {"frame", {{"x", x}, {"y", 0}, {"w", w}, {"h", h}}},
                       {"rotated", false},
                       {"trimmed", false},
                       {"spriteSourceSize", {{"x", 0}, {"y", 0}, {"w", w}, {"h", h}}},
                       {"sourceSize", {{"w", w}, {"h", h}}}});
    x += w;
  }
  return {
      {"frames", entries},
      {"meta",
       {{"image", image}, {"size", {{"w", width * scale}, {"h", height * scale}}}, {"scale", std::to_string(scale)}}}};
}

// Writes the chunk's frames as one sheet and its description. False when either failed.
bool WriteSheet(const std::vector<NamedFrame>& frames, const ChunkOutput& chunk, const std::filesystem::path& directory,
                const PictureStyle& style, const std::string& path) {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  for (const NamedFrame& entry : frames) {
    width += entry.frame->width;
    height = std::max<std::uint64_t>(height, entry.frame->height);
  }
  const std::string image = chunk.stem + ".png";
  if (const std::string refusal = SizeRefusal(width, height, style.scale); !refusal.empty()) {
    ReportError(kTool, path, chunk.stem + ": a sheet of " + refusal);
    return false;
  }
  RegionPicture sheet{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                      std::vector<std::uint8_t>(width * height), style.palette};
  std::size_t left = 0;
  for (const NamedFrame& entry : frames) {
    const Frame& frame = *entry.frame;
    for (std::size_t y = 0; y < frame.height; ++y) {
      std::copy_n(frame.pixels.begin() + static_cast<std::ptrdiff_t>(y * frame.width), frame.width,
                  sheet.pixels.begin() + static_cast<std::ptrdiff_t>(y * width + left));
    }
    left += frame.width;
  }
  const std::string output = platform::PathText(directory / platform::NativePath(image));
  if (const std::string failure = WriteIndexedPng(output, sheet.width, sheet.height, sheet.pixels, sheet.palette,
                                                  style.scale, style.TransparencyFor(chunk.tag));
      !failure.empty()) {
    ReportError(kTool, output, failure);
    return false;
  }
  const std::string text = JsonText(SheetJson(frames, image, width, height, style.scale));
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  const std::string description = platform::PathText(directory / platform::NativePath(chunk.stem + ".json"));
  if (const std::string failure = WriteOutput(description, bytes); !failure.empty()) {
    ReportError(kTool, description, failure);
    return false;
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
  if (!file.OpenBytes(*bytes, ShownNotes())) {
    ReportError(kTool, options.path, "not a GFF container (no \"GFFI\" header, or too short)");
    return kExitFailure;
  }
  // As `karst-gff info` says it: what the end of the file hides from the directory.
  for (const std::string& warning : DirectoryWarnings(file)) {
    ReportError(kTool, options.path, "warning: " + warning);
  }
  const InputFiles inputs({options.path, options.palettePath});
  if (const std::string refusal = RefuseOutputFolder(options.outputDirectory, inputs); !refusal.empty()) {
    ReportError(kTool, options.outputDirectory, refusal);
    return kExitUsage;
  }
  const std::filesystem::path directory = platform::NativePath(options.outputDirectory);
  const std::vector<ChunkOutput> chunks = PlanOutputs(file.directory());
  if (!OutputsAllowed(directory, chunks, options.sheet, inputs)) {
    return kExitUsage;
  }
  PictureStyle style{GreyPalette(), !options.palettePath.empty(), options.scale};
  if (style.coloured) {
    std::string reason;
    const std::optional<RegionColours> colours = ReadRegionColours(options.palettePath, reason);
    if (!colours) {
      ReportError(kTool, options.palettePath, reason);
      return kExitFailure;
    }
    style.palette = colours->palette;
  }
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error) {
    ReportError(kTool, options.outputDirectory, "cannot create the directory: " + error.message());
    return kExitFailure;
  }
  if (!chunks.empty()) {
    const std::string first = chunks.front().stem + (options.sheet ? ".png" : "-0.png");
    const std::string firstOutput = platform::PathText(directory / platform::NativePath(first));
    if (const std::string problem = FirstOutputProblem(firstOutput); !problem.empty()) {
      ReportError(kTool, firstOutput, problem);
      return kExitFailure;
    }
  }

  int written = 0;
  int cutShort = 0;
  bool failed = false;
  std::vector<std::string> withoutSheet;
  for (const ChunkOutput& chunk : chunks) {
    const ChunkEntry& entry = *chunk.entry;
    if (!PayloadWithin(entry, bytes->size())) {
      ReportError(kTool, options.path, chunk.stem + ": payload lies beyond the end of the file");
      ++cutShort;
      failed = true;
      continue;
    }
    const std::span<const std::uint8_t> payload = std::span(*bytes).subspan(entry.offset, entry.size);
    // Each chunk gets the budget of a load of its own size: the frames are written and freed
    // chunk by chunk.
    AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
    FrameSet frameSet;
    DecodeFrameSet(frameSet, payload, budget, ShownNotes().ForChunk(chunk.tag, entry));
    const auto frames = DrawableFrames(frameSet, chunk, options.path);
    if (!options.sheet) {
      failed = !WriteFrames(frames, chunk, directory, style, written) || failed;
    } else if (frames.empty()) {
      withoutSheet.push_back(chunk.stem);
    } else if (WriteSheet(frames, chunk, directory, style, options.path)) {
      ++written;
    } else {
      failed = true;
    }
  }
  const char* unit = options.sheet ? (written == 1 ? " sheet" : " sheets") : (written == 1 ? " frame" : " frames");
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
  for (const ChunkOutput& chunk : chunks) {
    if (chunk.stem == chunk.name) {
      continue;
    }
    if (!renamedHeading) {
      std::cout << "renamed, as an earlier chunk has the same tag and number:\n";
      renamedHeading = true;
    }
    std::cout << "  " << chunk.name << " at offset " << chunk.entry->offset << " -> "
              << platform::PathText(directory /
                                    platform::NativePath(chunk.stem + (options.sheet ? ".png" : "-<frame>.png")))
              << "\n";
  }
  return failed ? kExitFailure : kExitSuccess;
}

}  // namespace

void AddFramesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FramesOptions>();
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
  command->add_option("FILE.GFF", options->path, "the container to read")->required()->type_name("");
  command->add_option("-o,--output", options->outputDirectory, "the directory to write into (created when missing)")
      ->required()
      ->type_name("DIR");
  command->add_option("--palette", options->palettePath, "the region whose colours the pictures get")
      ->type_name("RGN.GFF");
  command->add_option("--scale", options->scale, "enlarge every pixel to N x N")
      ->check(CLI::Range(kMinScale, kMaxScale))
      ->option_text("N (1 to 16)");
  command->add_flag("--sheet", options->sheet, "one picture and one JSON description per chunk");
  command->callback([options, &exitCode] { exitCode = RunFrames(*options); });
}

}  // namespace karst::tools
