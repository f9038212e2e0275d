#include "tools/karst-gff/unpack_command.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/file_problems.h"
#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/common/cli.h"
#include "tools/common/input_file.h"
#include "tools/common/output_checks.h"
#include "tools/common/region_palette.h"
#include "tools/common/tiled_map.h"
#include "tools/common/unique_names.h"
#include "tools/common/unpack_files.h"
#include "tools/common/unpack_folder.h"
#include "tools/karst-gff/gff_tool.h"

namespace karst::tools {
namespace {

struct UnpackCommandOptions {
  std::string input;
  std::string output;
  std::string palettePath;
  std::string objectsPath;
  bool force = false;
};

// One container and the folder it goes into.
struct UnpackJob {
  std::string input;
  std::string folder;
  EarlierUnpack earlier;
  // The object library a region's map is drawn with: --objects, or the one beside the file.
  std::string objects;
};

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    text += (text.empty() ? "" : ", ") + name;
  }
  return text;
}

// The folder's earlier unpack, or why it may not be written into.
bool InspectTarget(UnpackJob& job, bool force) {
  std::string problem;
  std::optional<EarlierUnpack> earlier = InspectUnpackTarget(job.folder, problem);
  if (!earlier) {
    ReportError(kTool, job.folder, problem);
    return false;
  }
  if (!earlier->changed.empty() && !force) {
    ReportError(kTool, job.folder,
                "is an earlier unpack in which files were changed (" + Joined(earlier->changed) +
                    "): unpacking again would lose those edits (pack them first, or --force to unpack over them); "
                    "nothing written");
    return false;
  }
  job.earlier = std::move(*earlier);
  return true;
}

// The jobs of a single file or of every GFF file of a game folder, each checked; empty after
// reporting why not.
std::vector<UnpackJob> PlanUnpack(const UnpackCommandOptions& options) {
  std::vector<UnpackJob> jobs;
  const std::filesystem::path input = platform::NativePath(options.input);
  std::error_code error;
  if (std::filesystem::is_directory(input, error)) {
    const std::string pattern = platform::PathText(input / "*.GFF");
    UniqueNames folders;
    for (const std::string& name : platform::FindFiles(pattern)) {
      const std::filesystem::path file = input / platform::NativePath(name);
      if (std::filesystem::is_directory(file, error)) {
        continue;
      }
      const std::string stem = folders.Claim(platform::PathText(platform::NativePath(name).stem()));
      jobs.push_back({platform::PathText(file),
                      platform::PathText(platform::NativePath(options.output) / platform::NativePath(stem)),
                      {},
                      {}});
    }
    if (jobs.empty()) {
      ReportError(kTool, options.input, "holds no .GFF file; nothing written");
    }
  } else if (const std::string problem = InputProblem(options.input); !problem.empty()) {
    ReportError(kTool, options.input, problem);
  } else {
    jobs.push_back({options.input, options.output, {}, {}});
  }
  for (UnpackJob& job : jobs) {
    job.objects = !options.objectsPath.empty()
                      ? options.objectsPath
                      : platform::LocateFile(platform::PathText(platform::NativePath(job.input).parent_path()),
                                             kObjectLibraryFileName);
    if (!InspectTarget(job, options.force)) {
      return {};
    }
  }
  return jobs;
}

// A region whose colours the pictures of `file` can have: the first beside it, else a stand-in.
std::string RegionBeside(const std::string& file) {
  const std::filesystem::path folder = platform::NativePath(file).parent_path();
  const std::vector<std::string> regions =
      platform::FindFiles(platform::PathText(folder / std::string(kRegionFilePattern)));
  return regions.empty() ? "RGN.GFF" : platform::PathText(folder / platform::NativePath(regions.front()));
}

int RunUnpack(const UnpackCommandOptions& options) {
  const InputFiles inputs({options.input, options.palettePath, options.objectsPath});
  if (const std::string refusal = RefuseOutputFolder(options.output, inputs); !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  UnpackOptions unpackOptions;
  if (!options.palettePath.empty()) {
    std::string reason;
    const std::optional<RegionColours> colours = ReadRegionColours(options.palettePath, reason);
    if (!colours) {
      ReportError(kTool, options.palettePath, reason);
      return kExitFailure;
    }
    unpackOptions.libraryColours = colours->palette;
  }
  std::unique_ptr<ObjectLibrary> objects;
  if (!options.objectsPath.empty()) {
    std::string reason;
    objects = ReadLibraryInput(options.objectsPath, LoadReport(), reason);
    if (objects == nullptr) {
      ReportError(kTool, options.objectsPath, reason);
      return kExitFailure;
    }
  }
  const std::vector<UnpackJob> jobs = PlanUnpack(options);
  if (jobs.empty()) {
    return kExitFailure;
  }
  int exitCode = kExitSuccess;
  std::string objectsFrom = options.objectsPath;
  for (const UnpackJob& job : jobs) {
    // A library beside the files is read once, the first time a file has one; one the viewer
    // would not start with draws no object.
    if (job.objects != objectsFrom && !job.objects.empty()) {
      std::string reason;
      objects = ReadLibraryInput(job.objects, LoadReport(), reason);
      objectsFrom = job.objects;
    }
    const std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(job.input);
    if (!bytes) {
      ReportError(kTool, job.input, "cannot be read");
      exitCode = kExitFailure;
      continue;
    }
    unpackOptions.source = platform::PathText(platform::NativePath(job.input).filename());
    unpackOptions.objects = job.objects.empty() ? nullptr : objects.get();
    std::string problem;
    const std::optional<Unpacked> unpacked = UnpackContainer(*bytes, unpackOptions, problem);
    if (!unpacked) {
      ReportError(kTool, job.input, problem + "; skipped");
      exitCode = kExitFailure;
      continue;
    }
    if (const std::string failure = WriteUnpackFolder(job.folder, unpacked->files, job.earlier); !failure.empty()) {
      ReportError(kTool, job.folder, failure);
      return kExitFailure;
    }
    std::cout << job.input << ": " << unpacked->kind << ", " << unpacked->manifest.chunks.size() << " chunks, "
              << unpacked->manifest.pictures.size() << " pictures";
    if (unpacked->manifest.mapFile) {
      std::cout << ", " << kTiledMapFile << " "
                << (unpackOptions.objects != nullptr ? "with the objects of " + job.objects : "without objects");
    }
    std::cout << " -> " << job.folder << "\n";
    if (unpacked->greyscale) {
      std::cout << "note: " << job.input << ": the pictures are greyscale; unpack again with --palette "
                << RegionBeside(job.input) << " to have them in that region's colours\n";
    }
  }
  return exitCode;
}

}  // namespace

void AddUnpackCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<UnpackCommandOptions>();
  CLI::App* command =
      app.add_subcommand("unpack", "Take a container apart into files to edit: payloads, frame pictures, names");
  command->footer(
      "DIR receives manifest.json (how pack lays the file out again, and the hash of every file),\n"
      "rest.bin (the bytes no payload covers), chunks/<TAG>-<number>.bin (every payload),\n"
      "frames/<TAG>-<number>-<frame>.png (every frame of every TILE, BMP and CBMP chunk, indexed;\n"
      "index 0 of BMP and CBMP frames transparent), and for a region palette.gpl and name.txt, for\n"
      "an object library objects.json. A region's pictures are in its own colours, a library's in\n"
      "those of --palette RGN.GFF, or else greyscale. A tag with a byte outside A-Z a-z 0-9 and\n"
      "blank is written as hex- and its eight hex digits.\n"
      "\n"
      "A region the viewer shows also gets map.tmj, a map for the editor Tiled: the layers Tiles,\n"
      "Objects (every entity whose object is drawn, a tile placed as the viewer draws it) and\n"
      "Entities without a picture (hidden: the others, as points), with its tilesets in tiled/.\n"
      "The objects come from --objects, or else from the OBJEX.GFF beside the region; without\n"
      "one every entity is a point. pack takes the map back when it was changed.\n"
      "\n"
      "With a game folder every .GFF file goes into DIR/<name without .GFF>/. DIR must be missing,\n"
      "empty or an earlier unpack in which nothing was changed; one holding edits is refused,\n"
      "naming the edited files, unless --force.\n"
      "\n"
      "Examples:\n"
      "  karst-gff unpack RGN01.GFF -o rgn01                then: tiled rgn01/map.tmj\n"
      "  karst-gff unpack RGN01.GFF --objects ../OBJEX.GFF -o rgn01\n"
      "  karst-gff unpack OBJEX.GFF --palette RGN01.GFF -o objex\n"
      "  karst-gff unpack ~/game -o ~/game-unpacked");
  command->add_option("FILE.GFF|GAMEDIR", options->input, "the container, or a folder of them")
      ->required()
      ->type_name("");
  command->add_option("-o,--output", options->output, "the folder to write (missing, empty or an earlier unpack)")
      ->required()
      ->type_name("DIR");
  command->add_option("--palette", options->palettePath, "the region whose colours a library's pictures get")
      ->type_name("RGN.GFF");
  command->add_option("--objects", options->objectsPath, "the object library a region's map draws its objects with")
      ->type_name("OBJEX.GFF");
  command->add_flag("--force", options->force, "unpack over an earlier unpack that holds edits, losing them");
  command->callback([options, &exitCode] { exitCode = RunUnpack(*options); });
}

}  // namespace karst::tools
