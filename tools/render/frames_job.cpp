#include "tools/render/frames_job.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <system_error>

#include <nlohmann/json.hpp>

#include "data/file_problems.h"
#include "gff/allocation_budget.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/inspect/chunk_label.h"
#include "tools/inspect/directory_listing.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/region_palette.h"
#include "tools/render/render_region.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

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

// Every frame-set chunk, or only the "BMP " chunks numbered `bitmap` when one is given.
std::vector<ChunkOutput> PlanOutputs(const GffDirectory& directory, const std::optional<std::uint32_t>& bitmap) {
  std::vector<ChunkOutput> chunks;
  UniqueNames stems;
  for (const ChunkType& record : directory) {
    if (!IsFrameSetTag(record.tag) || !record.entries || (bitmap && !SameTag(record.tag, kTagBmp))) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      if (bitmap && entry.number != *bitmap) {
        continue;
      }
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
// regard to case, as a file system may ignore it. The refusal of the first that may not be.
std::optional<JobProblem> RefusedOutput(const std::filesystem::path& directory, const std::vector<ChunkOutput>& chunks,
                                        bool sheet, const InputFiles& inputs) {
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
    std::string output = platform::PathText(entries->path());
    if (std::string refusal = RefuseOutput(output, inputs); !refusal.empty()) {
      return JobProblem{std::move(output), ProblemKind::kOutputRefused, std::move(refusal), {}};
    }
  }
  return std::nullopt;
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

  // Greyscale pictures keep every index visible, as they always have.
  PngTransparency TransparencyFor(const Tag& tag) const {
    return coloured && IndexZeroIsTransparent(tag) ? PngTransparency::kIndexZero : PngTransparency::kOpaque;
  }
};

// A problem's place: the chunk, as karst-gff names it.
ProblemPlace ChunkPlace(const Tag& tag, std::uint32_t number) {
  ProblemPlace place;
  place.chunk = ChunkLabel(tag, number);
  return place;
}

struct NamedFrame {
  std::string name;  // <stem>-<frame>
  const Frame* frame;
};

// Where one chunk's files go, and what became of it.
struct ChunkWork {
  const ChunkOutput& chunk;
  const std::filesystem::path& directory;
  const PictureStyle& style;
  FramesChunk& done;
  std::vector<std::string>& written;

  std::string PathOf(const std::string& file) const {
    return platform::PathText(directory / platform::NativePath(file));
  }
  void Problem(std::string file, std::string words) const {
    done.problems.push_back(
        {std::move(file), ProblemKind::kWriteFailed, std::move(words), ChunkPlace(chunk.tag, chunk.entry->number)});
  }
};

// The frames of one chunk that have pixels, each with its name; the others are noted as skipped.
std::vector<NamedFrame> DrawableFrames(const FrameSet& frameSet, const ChunkWork& work) {
  std::vector<NamedFrame> drawable;
  for (std::size_t index = 0; index < frameSet.frames.size(); ++index) {
    const Frame& frame = frameSet.frames[index];
    std::string frameName = work.chunk.stem + "-" + std::to_string(index);
    if (!frame.HasPixels()) {
      work.done.skipped.push_back(frameName + ": no pixels (" + std::to_string(frame.width) + " x " +
                                  std::to_string(frame.height) + "), skipped");
      continue;
    }
    drawable.push_back({std::move(frameName), &frame});
  }
  return drawable;
}

// Writes each frame as its own picture.
void WriteFrames(const std::vector<NamedFrame>& frames, const ChunkWork& work) {
  for (const auto& [frameName, frame] : frames) {
    std::string output = work.PathOf(frameName + ".png");
    std::string failure = SizeRefusal(frame->width, frame->height, work.style.scale);
    if (failure.empty()) {
      failure = WriteIndexedPng(output, frame->width, frame->height, frame->pixels, work.style.palette,
                                work.style.scale, work.style.TransparencyFor(work.chunk.tag));
    }
    if (!failure.empty()) {
      work.Problem(std::move(output), std::move(failure));
      continue;
    }
    work.written.push_back(std::move(output));
    ++work.done.written;
  }
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

// Writes the chunk's frames as one sheet and its description; `container` is named when the
// sheet would be too large.
void WriteSheet(const std::vector<NamedFrame>& frames, const ChunkWork& work, const std::string& container) {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  for (const NamedFrame& entry : frames) {
    width += entry.frame->width;
    height = std::max<std::uint64_t>(height, entry.frame->height);
  }
  const std::string image = work.chunk.stem + ".png";
  if (const std::string refusal = SizeRefusal(width, height, work.style.scale); !refusal.empty()) {
    work.Problem(container, work.chunk.stem + ": a sheet of " + refusal);
    return;
  }
  RegionPicture sheet{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                      std::vector<std::uint8_t>(width * height), work.style.palette};
  std::size_t left = 0;
  for (const NamedFrame& entry : frames) {
    const Frame& frame = *entry.frame;
    for (std::size_t y = 0; y < frame.height; ++y) {
      std::copy_n(frame.pixels.begin() + static_cast<std::ptrdiff_t>(y * frame.width), frame.width,
                  sheet.pixels.begin() + static_cast<std::ptrdiff_t>(y * width + left));
    }
    left += frame.width;
  }
  std::string output = work.PathOf(image);
  if (std::string failure = WriteIndexedPng(output, sheet.width, sheet.height, sheet.pixels, sheet.palette,
                                            work.style.scale, work.style.TransparencyFor(work.chunk.tag));
      !failure.empty()) {
    work.Problem(std::move(output), std::move(failure));
    return;
  }
  work.written.push_back(std::move(output));
  const std::string text = JsonText(SheetJson(frames, image, width, height, work.style.scale));
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  std::string description = work.PathOf(work.chunk.stem + ".json");
  if (std::string failure = WriteOutput(description, bytes); !failure.empty()) {
    work.Problem(std::move(description), std::move(failure));
    return;
  }
  work.written.push_back(std::move(description));
  ++work.done.written;
}

}  // namespace

FramesResult RenderFrames(const FramesRequest& request, JobContext& context) {
  FramesResult result;
  if (std::string problem = InputProblem(request.container); !problem.empty()) {
    result.problems.push_back({request.container, ProblemKind::kUnreadable, std::move(problem), {}});
    return result;
  }
  const std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(request.container);
  if (!bytes) {
    result.problems.push_back({request.container,
                               ProblemKind::kUnreadable,
                               "cannot be read: " + std::make_error_code(std::errc::io_error).message(),
                               {}});
    return result;
  }
  // The payloads are taken from the bytes in memory rather than through the container's stream,
  // so one chunk that cannot be read does not stop the frames of the chunks after it.
  GffFile file;
  if (!file.OpenBytes(*bytes, LoadReport::Into(result.openNotes))) {
    result.problems.push_back({request.container, ProblemKind::kNotContainer, std::string(kNotContainer), {}});
    return result;
  }
  // As `karst-gff info` says it: what the end of the file hides from the directory.
  result.directoryWarnings = DirectoryWarnings(file);
  const InputFiles inputs({request.container, request.palette});
  if (std::string refusal = RefuseOutputFolder(request.outputFolder, inputs); !refusal.empty()) {
    result.problems.push_back({request.outputFolder, ProblemKind::kOutputRefused, std::move(refusal), {}});
    return result;
  }
  const std::filesystem::path directory = platform::NativePath(request.outputFolder);
  const std::vector<ChunkOutput> chunks = PlanOutputs(file.directory(), request.bitmap);
  if (request.bitmap && chunks.empty()) {
    result.problems.push_back({request.container,
                               ProblemKind::kNotFound,
                               "no chunk " + ChunkLabel(kTagBmp, *request.bitmap) + ": nothing written",
                               {}});
    return result;
  }
  if (std::optional<JobProblem> refusal = RefusedOutput(directory, chunks, request.sheet, inputs)) {
    result.problems.push_back(std::move(*refusal));
    return result;
  }
  PictureStyle style{GreyPalette(), !request.palette.empty(), request.scale};
  if (style.coloured) {
    std::string reason;
    const std::optional<RegionColours> colours = ReadRegionColours(request.palette, reason);
    if (!colours) {
      result.problems.push_back({request.palette, ProblemKind::kWouldNotLoad, std::move(reason), {}});
      return result;
    }
    style.palette = colours->palette;
  }
  if (std::string problem = MakeOutputFolder(request.outputFolder); !problem.empty()) {
    result.problems.push_back({request.outputFolder, ProblemKind::kWriteFailed, std::move(problem), {}});
    return result;
  }
  if (!chunks.empty()) {
    const std::string first = chunks.front().stem + (request.sheet ? ".png" : "-0.png");
    std::string firstOutput = platform::PathText(directory / platform::NativePath(first));
    if (std::string problem = FirstOutputProblem(firstOutput); !problem.empty()) {
      result.problems.push_back({std::move(firstOutput), ProblemKind::kWriteFailed, std::move(problem), {}});
      return result;
    }
  }

  context.Report(0, chunks.size());
  for (const ChunkOutput& chunk : chunks) {
    if (context.Cancelled()) {
      result.problems.push_back({request.outputFolder,
                                 ProblemKind::kCancelled,
                                 "cancelled after " + std::to_string(result.chunks.size()) + " of " +
                                     std::to_string(chunks.size()) + " chunks",
                                 {}});
      return result;
    }
    const ChunkEntry& entry = *chunk.entry;
    FramesChunk& done = result.chunks.emplace_back();
    done.name = chunk.name;
    done.stem = chunk.stem;
    done.offset = entry.offset;
    const ChunkWork work{chunk, directory, style, done, result.written};
    done.read = PayloadWithin(entry, bytes->size());
    if (!done.read) {
      done.problems.push_back({request.container, ProblemKind::kUnreadable,
                               chunk.stem + ": payload lies beyond the end of the file",
                               ChunkPlace(chunk.tag, entry.number)});
    } else {
      const std::span<const std::uint8_t> payload = std::span(*bytes).subspan(entry.offset, entry.size);
      // Each chunk gets the budget of a load of its own size: the frames are written and freed
      // chunk by chunk.
      AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
      FrameSet frameSet;
      DecodeFrameSet(frameSet, payload, budget, LoadReport::Into(done.notes).ForChunk(chunk.tag, entry));
      const std::vector<NamedFrame> frames = DrawableFrames(frameSet, work);
      if (!request.sheet) {
        WriteFrames(frames, work);
      } else if (frames.empty()) {
        done.withoutSheet = true;
      } else {
        WriteSheet(frames, work, request.container);
      }
    }
    context.Report(result.chunks.size(), chunks.size(), chunk.stem);
  }
  return result;
}

}  // namespace karst::tools
