#include "tools/karst-gff/unpack_command.h"

#include <algorithm>
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
#include "tools/cli/cli.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/unique_names.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/pack/pack_record.h"
#include "tools/pack/unpack_files.h"
#include "tools/pack/unpack_folder.h"
#include "tools/pictures/region_palette.h"
#include "tools/text/content_hash.h"
#include "tools/tiled/tiled_map.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

struct UnpackCommandOptions {
  std::string input;
  std::string output;
  std::string palettePath;
  std::string objectsPath;
  bool force = false;
  std::vector<std::string> restore;
};

// One container and the folder it goes into.
struct UnpackJob {
  std::string input;
  std::string folder;
  EarlierUnpack earlier;
  // The object library a region's map is drawn with: --objects, or the one beside the file.
  std::string objects;
  // The container's bytes, read when the jobs are planned; nothing when they cannot be read.
  std::optional<std::vector<std::uint8_t>> bytes;
  // (--restore) the files of the folder to write again.
  std::vector<std::string> restore;

  UnpackJob(std::string inputPath, std::string folderPath)
      : input(std::move(inputPath)), folder(std::move(folderPath)) {}
};

// The object library of the jobs, read once for every run of jobs that draw with the same one;
// one the viewer would not start with draws no object.
struct JobLibrary {
  std::unique_ptr<ObjectLibrary> library;
  std::string from;

  const ObjectLibrary* For(const std::string& path) {
    if (path.empty()) {
      return nullptr;
    }
    if (path != from) {
      std::string reason;
      library = ReadLibraryInput(path, LoadReport(), reason);
      from = path;
    }
    return library.get();
  }
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
  std::optional<EarlierUnpack> earlier =
      InspectUnpackTarget(job.folder, job.bytes ? ContentHash(*job.bytes) : std::string(), problem);
  if (!earlier) {
    ReportError(kTool, job.folder, problem);
    return false;
  }
  if (!earlier->changed.empty() && !force) {
    ReportError(kTool, job.folder,
                "is an earlier unpack in which files were changed (" + Joined(earlier->changed) +
                    "): unpacking again would lose those edits (pack them first; --restore FILE... writes "
                    "single files again and leaves the other edits; --force unpacks over all of them); nothing "
                    "written");
    return false;
  }
  job.earlier = std::move(*earlier);
  return true;
}

// Hands the --restore path `path` (from the current folder, or from DIR) to the job whose folder
// holds it, as a name inside that folder; false when none does.
bool AssignRestore(std::vector<UnpackJob>& jobs, const std::string& output, std::string path) {
  while (path.size() > 1 && platform::IsPathSeparator(path.back())) {
    path.pop_back();
  }
  std::error_code error;
  for (const fs::path& place : {fs::absolute(platform::NativePath(path), error),
                                fs::absolute(platform::NativePath(output) / platform::NativePath(path), error)}) {
    for (UnpackJob& job : jobs) {
      const fs::path root = fs::absolute(platform::NativePath(job.folder), error).lexically_normal();
      const fs::path inside = place.lexically_normal().lexically_relative(root);
      if (!inside.empty() && *inside.begin() != ".." && inside != ".") {
        std::string name = platform::PathText(inside);
        std::replace(name.begin(), name.end(), platform::kPathSeparator, '/');
        job.restore.push_back(name);
        return true;
      }
    }
  }
  return false;
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
      jobs.emplace_back(platform::PathText(file),
                        platform::PathText(platform::NativePath(options.output) / platform::NativePath(stem)));
    }
    if (jobs.empty()) {
      ReportError(kTool, options.input, "holds no .GFF file; nothing written");
    }
  } else if (const std::string problem = InputProblem(options.input); !problem.empty()) {
    ReportError(kTool, options.input, problem);
  } else {
    jobs.emplace_back(options.input, options.output);
  }
  for (const std::string& path : options.restore) {
    if (!jobs.empty() && !AssignRestore(jobs, options.output, path)) {
      ReportError(kTool, path, "lies in no folder of " + options.output + " that unpack writes; nothing written");
      return {};
    }
  }
  for (UnpackJob& job : jobs) {
    if (!options.restore.empty() && job.restore.empty()) {
      continue;
    }
    job.objects = !options.objectsPath.empty() ? options.objectsPath : LibraryBeside(job.input);
    job.bytes = ReadWholeFile(job.input);
    if (options.restore.empty() && !InspectTarget(job, options.force)) {
      return {};
    }
  }
  std::erase_if(jobs, [&](const UnpackJob& job) { return !options.restore.empty() && job.restore.empty(); });
  return jobs;
}

// The files `job` restores, with what unpack writes for them now; nothing after reporting why not.
struct Restoring {
  const UnpackJob* job = nullptr;
  Unpacked fresh;
  std::vector<std::string> files;
  std::optional<Manifest> earlier;  // the folder's manifest, when it has one of ours
};

// The manifest of the folder `folder`, when it holds one of ours.
std::optional<Manifest> FolderManifest(const std::string& folder) {
  const std::optional<std::vector<std::uint8_t>> text =
      ReadWholeFile(platform::PathText(platform::NativePath(folder) / kManifestName));
  std::string problem;
  return text ? ParseManifest(*text, problem) : std::nullopt;
}

std::optional<Restoring> PlanRestore(const UnpackJob& job, Unpacked fresh, std::optional<Manifest> earlierManifest) {
  Restoring restoring{&job, std::move(fresh), {}, std::move(earlierManifest)};
  std::string problem;
  std::optional<std::vector<std::string>> files = RestoredFiles(restoring.fresh.files, job.restore, problem);
  if (!files) {
    ReportError(kTool, job.folder, problem);
    return std::nullopt;
  }
  restoring.files = std::move(*files);
  const bool manifestRestored =
      std::find(restoring.files.begin(), restoring.files.end(), kManifestName) != restoring.files.end();
  if (!restoring.earlier && !manifestRestored) {
    ReportError(kTool, job.folder,
                "holds no manifest.json of an unpack: it is no unpack folder (--restore manifest.json writes that "
                "one again); nothing written");
    return std::nullopt;
  }
  const Manifest* earlier = restoring.earlier ? &*restoring.earlier : nullptr;
  if (earlier != nullptr && earlier->sourceHash != restoring.fresh.manifest.sourceHash &&
      !platform::SameFileName(earlier->source, restoring.fresh.manifest.source)) {
    ReportError(kTool, job.folder,
                "was unpacked from " + earlier->source + ", not from " + job.input +
                    ": its files are restored from the file it was unpacked from; nothing written");
    return std::nullopt;
  }
  return restoring;
}

// --restore: writes the named files of each folder again, and nothing else.
int RunRestore(std::vector<UnpackJob>& jobs, const UnpackOptions& unpackOptions, JobLibrary& libraries) {
  std::vector<Restoring> plans;
  for (const UnpackJob& job : jobs) {
    if (!job.bytes) {
      ReportError(kTool, job.input, "cannot be read; nothing written");
      return kExitFailure;
    }
    std::optional<Manifest> earlier = FolderManifest(job.folder);
    UnpackOptions options = unpackOptions;
    options.source = platform::PathText(platform::NativePath(job.input).filename());
    options.objects = libraries.For(job.objects);
    // A library's pictures come back in the colours the folder's others have, unless told.
    if (!options.libraryColours && earlier && earlier->palettes.contains(kLibraryPaletteKey)) {
      options.libraryColours = earlier->palettes.at(kLibraryPaletteKey);
    }
    std::string problem;
    std::optional<Unpacked> fresh = UnpackContainer(*job.bytes, options, problem);
    if (!fresh) {
      ReportError(kTool, job.input, problem + "; nothing written");
      return kExitFailure;
    }
    std::optional<Restoring> plan = PlanRestore(job, std::move(*fresh), std::move(earlier));
    if (!plan) {
      return kExitFailure;
    }
    plans.push_back(std::move(*plan));
  }
  for (const Restoring& plan : plans) {
    if (const std::string failure = RestoreUnpackFiles(plan.job->folder, plan.fresh.files, plan.files);
        !failure.empty()) {
      ReportError(kTool, plan.job->folder, failure);
      return kExitFailure;
    }
    std::cout << plan.job->input << " -> " << plan.job->folder << ": written again as unpack writes them, every "
              << "other file left as it is\n";
    for (const std::string& file : plan.files) {
      std::cout << "  " << file << "\n";
    }
    const std::string& now = plan.fresh.manifest.sourceHash;
    if (plan.earlier && !plan.earlier->sourceHash.empty() && plan.earlier->sourceHash != now) {
      const PackRecord record = ReadPackRecord(plan.job->folder);
      const PackRecordEntry* packed = record.Find(PackedFileKey(plan.job->input));
      std::cout << "  " << plan.job->input << " has changed since " << plan.job->folder << " was unpacked"
                << (packed != nullptr && packed->hash == now ? " (it holds what the folder last packed into it)" : "")
                << ": the files are as it holds them now\n";
    }
  }
  return kExitSuccess;
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
  JobLibrary libraries;
  if (!options.objectsPath.empty()) {
    std::string reason;
    libraries.library = ReadLibraryInput(options.objectsPath, LoadReport(), reason);
    libraries.from = options.objectsPath;
    if (libraries.library == nullptr) {
      ReportError(kTool, options.objectsPath, reason);
      return kExitFailure;
    }
  }
  std::vector<UnpackJob> jobs = PlanUnpack(options);
  if (jobs.empty()) {
    return kExitFailure;
  }
  if (!options.restore.empty()) {
    return RunRestore(jobs, unpackOptions, libraries);
  }
  int exitCode = kExitSuccess;
  for (UnpackJob& job : jobs) {
    if (!job.bytes) {
      ReportError(kTool, job.input, "cannot be read");
      exitCode = kExitFailure;
      continue;
    }
    unpackOptions.source = platform::PathText(platform::NativePath(job.input).filename());
    unpackOptions.objects = libraries.For(job.objects);
    std::string problem;
    const std::optional<Unpacked> unpacked = UnpackContainer(*job.bytes, unpackOptions, problem);
    job.bytes.reset();
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
    for (const std::string& leftOut : unpacked->leftOut) {
      std::cout << "  left out " << leftOut << "\n";
    }
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
      "empty, an earlier unpack in which nothing was changed, or one whose edits were all packed\n"
      "into the very file unpacked now; one holding other edits is refused, naming the edited\n"
      "files, unless --force.\n"
      "\n"
      "--restore PATH... writes again only the files each PATH names, a file of DIR or a folder of\n"
      "them, named inside DIR (frames/TILE-9-0.png) or through it (rgn01/frames/TILE-9-0.png), as\n"
      "unpack writes them from FILE.GFF as it is now; every other file and edit stays as it is. It\n"
      "says so when FILE.GFF changed since DIR was unpacked.\n"
      "\n"
      "Examples:\n"
      "  karst-gff unpack RGN01.GFF -o rgn01                then: tiled rgn01/map.tmj\n"
      "  karst-gff unpack RGN01.GFF --objects ../OBJEX.GFF -o rgn01\n"
      "  karst-gff unpack OBJEX.GFF --palette RGN01.GFF -o objex\n"
      "  karst-gff unpack RGN01.GFF -o rgn01 --restore name.txt frames/TILE-9-0.png\n"
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
  CLI::Option* force =
      command->add_flag("--force", options->force, "unpack over an earlier unpack that holds edits, losing them");
  command
      ->add_option("--restore", options->restore,
                   "write only these files of DIR again (a file, or a folder of them), leaving every other edit")
      ->type_name("PATH...")
      ->excludes(force);
  command->callback([options, &exitCode] { exitCode = RunUnpack(*options); });
}

}  // namespace karst::tools
