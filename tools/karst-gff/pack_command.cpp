#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/common/cli.h"
#include "tools/common/output_checks.h"
#include "tools/common/pack_folder.h"
#include "tools/common/unpack_files.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/karst-gff/unpack_command.h"

namespace karst::tools {
namespace {

struct PackCommandOptions {
  std::string folder;
  std::string output;
  bool replace = false;
  bool nearest = false;
  bool force = false;
  std::string transparentColour;  // RRGGBB or #RRGGBB; empty when not given
};

// The colour of "RRGGBB" or "#RRGGBB" as 0xRRGGBB; nothing for any other text.
std::optional<std::uint32_t> ColourValue(const std::string& text) {
  const std::string digits = text.starts_with('#') ? text.substr(1) : text;
  if (digits.size() != 6 ||
      !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); })) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::stoul(digits, nullptr, 16));
}

struct PackJob {
  std::string folder;
  std::string output;
  Packed packed;
};

// The file name a game folder's packed file takes: the manifest's source when it is a plain
// name, else the folder's name with .GFF.
std::string PackedName(const Manifest& manifest, const std::string& folder) {
  if (!manifest.source.empty() && UnsafeFolderName(manifest.source).empty() &&
      manifest.source.find('/') == std::string::npos) {
    return manifest.source;
  }
  return platform::PathText(platform::NativePath(folder).filename()) + ".GFF";
}

// A map Tiled saved in its XML format beside map.tmj is never read: say so rather than pass it over.
void NoteUnreadMaps(const std::string& folder, Packed& packed) {
  std::error_code error;
  for (std::filesystem::directory_iterator entry(platform::NativePath(folder), error), end; !error && entry != end;
       entry.increment(error)) {
    std::string extension = platform::PathText(entry->path().extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (extension == ".tmx") {
      packed.notes.push_back(platform::PathText(entry->path().filename()) +
                             ": not read: pack reads the map only from map.tmj (in Tiled, File > Save As, the JSON "
                             "map format, map.tmj)");
    }
  }
}

bool HasManifest(const std::filesystem::path& folder) {
  std::error_code error;
  return std::filesystem::is_regular_file(folder / kManifestName, error);
}

// Packs one folder into its job; false after reporting why not.
bool PackOne(PackJob& job, const PackCommandOptions& options, bool outputIsFolder) {
  std::string problem;
  const std::optional<UnpackFolder> folder = ReadUnpackFolder(job.folder, problem);
  if (!folder) {
    ReportError(kTool, job.folder, problem);
    return false;
  }
  if (outputIsFolder) {
    job.output = platform::PathText(platform::NativePath(job.output) /
                                    platform::NativePath(PackedName(folder->manifest, job.folder)));
  }
  std::optional<Packed> packed =
      Pack(folder->manifest, folder->files,
           PackOptions{options.nearest, options.force, ColourValue(options.transparentColour)}, problem);
  if (!packed) {
    ReportError(kTool, job.folder, problem);
    return false;
  }
  if (const std::string refusal = PackedFileProblem(job.output, options.replace); !refusal.empty()) {
    ReportError(kTool, job.output, refusal);
    return false;
  }
  job.packed = std::move(*packed);
  NoteUnreadMaps(job.folder, job.packed);
  return true;
}

int RunPack(const PackCommandOptions& options) {
  const std::filesystem::path folder = platform::NativePath(options.folder);
  std::vector<PackJob> jobs;
  std::error_code error;
  const bool outputIsFolder = std::filesystem::is_directory(platform::NativePath(options.output), error);
  if (HasManifest(folder)) {
    jobs.push_back({options.folder, options.output, {}});
  } else {
    std::vector<std::filesystem::path> folders;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
      if (entry->is_directory(error) && HasManifest(entry->path())) {
        folders.push_back(entry->path());
      }
    }
    std::sort(folders.begin(), folders.end());
    if (folders.empty()) {
      ReportError(kTool, options.folder,
                  "holds no manifest.json, nor folders that do: not a folder that karst-gff unpack made; nothing "
                  "written");
      return kExitFailure;
    }
    for (const std::filesystem::path& path : folders) {
      jobs.push_back({platform::PathText(path), options.output, {}});
    }
  }
  // Everything is packed and every output checked before the first is written.
  for (PackJob& job : jobs) {
    if (!PackOne(job, options, outputIsFolder || jobs.size() > 1 || !HasManifest(folder))) {
      return kExitFailure;
    }
  }
  if (jobs.size() > 1 || !HasManifest(folder)) {
    std::filesystem::create_directories(platform::NativePath(options.output), error);
    if (error) {
      ReportError(kTool, options.output, "cannot create the folder: " + error.message());
      return kExitFailure;
    }
  }
  for (const PackJob& job : jobs) {
    std::string kept;
    if (const std::string failure = PutPackedFile(job.output, job.packed.bytes, options.replace, kept);
        !failure.empty()) {
      ReportError(kTool, job.output, failure);
      return kExitFailure;
    }
    std::cout << job.folder << " -> " << job.output;
    if (job.packed.changes.empty()) {
      std::cout << ": nothing changed, the original's very bytes";
    }
    if (!kept.empty()) {
      std::cout << " (the file it replaced kept as " << kept << ")";
    }
    std::cout << "\n";
    for (const ChunkChange& change : job.packed.changes) {
      std::cout << "  " << change.Text() << "\n";
    }
    if (job.packed.nearestPixels > 0) {
      std::cout << "  " << job.packed.nearestPixels << " pixels took the nearest colour of the palette\n";
    }
    if (job.packed.transparentPixels > 0) {
      char colour[8];
      std::snprintf(colour, sizeof colour, "#%06x", *ColourValue(options.transparentColour));
      std::cout << "  " << job.packed.transparentPixels << " pixels of " << colour << " were taken as transparent\n";
    }
    for (const std::string& note : job.packed.notes) {
      std::cout << "  note: " << note << "\n";
    }
  }
  return kExitSuccess;
}

}  // namespace

void AddPackCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<PackCommandOptions>();
  CLI::App* command = app.add_subcommand("pack", "Put a folder made by unpack back together into a container");
  command->footer(
      "Each chunk keeps its original payload unless one of its forms changed: its .bin (taken as\n"
      "it is), its frame pictures, palette.gpl, name.txt, objects.json or map.tmj. Nothing changed\n"
      "gives the very bytes of the original. A changed frame is encoded again in its own encoding;\n"
      "a picture is taken by index when its palette is still the one it was written with, else by\n"
      "colour, against the palette the packed file will have (palette.gpl as edited); a colour that\n"
      "palette lacks is refused unless --nearest. A sprite's picture saved without transparency\n"
      "(RGB) is refused where its frame has transparent pixels, unless --transparent-colour names\n"
      "the colour that stands for transparent. Every other payload stays byte for byte; a payload\n"
      "that no longer fits goes behind the end of the file.\n"
      "\n"
      "Each rebuilt chunk is named with what changed (\"MAP-7: from map.tmj: 12 cells repainted\");\n"
      "a line \"note: ...\" gives what karst-gff check finds in the file written, flags that\n"
      "disagree with an object's flip (the flip decides), and a map.tmx (only map.tmj is read).\n"
      "\n"
      "Refused, with nothing written: an existing OUT.GFF without --replace (which keeps it as\n"
      "OUT.GFF.orig, .orig.2, ... first); a chunk changed in two forms that disagree; a manifest\n"
      "that is not ours or contradicts the files; a path leading out of DIR; a map layer deleted\n"
      "while it held entities (delete its objects instead); a region that would no longer load, or\n"
      "a container whose payloads overlap or run past its end (both unless --force).\n"
      "\n"
      "With a folder of unpacks (from a game folder), every one is packed into OUTDIR under its\n"
      "original name.\n"
      "\n"
      "Examples:\n"
      "  karst-gff pack rgn01 -o RGN01-new.GFF\n"
      "  karst-gff pack rgn01 -o ~/game/RGN01.GFF --replace\n"
      "  karst-gff pack objex -o OBJEX-new.GFF --transparent-colour ff00ff\n"
      "  karst-gff pack ~/game-unpacked -o ~/game-new");
  command->add_option("DIR", options->folder, "the folder unpack made")->required()->type_name("");
  command->add_option("-o,--output", options->output, "the container to write, or a folder for several")
      ->required()
      ->type_name("OUT.GFF|OUTDIR");
  command->add_flag("--replace", options->replace, "replace an existing file, keeping it as .orig first");
  command->add_flag("--nearest", options->nearest, "give colours the palette lacks its nearest one");
  command->add_flag("--force", options->force,
                    "edit overlapping or cut-short containers; write a region that would not load");
  command
      ->add_option("--transparent-colour", options->transparentColour,
                   "in sprite pictures saved without transparency, take this colour as transparent")
      ->type_name("RRGGBB")
      ->check(CLI::Validator(
          [](const std::string& value) {
            return ColourValue(value) ? std::string() : "a colour is six hex digits, RRGGBB (ff00ff)";
          },
          ""));
  command->callback([options, &exitCode] { exitCode = RunPack(*options); });
}

}  // namespace karst::tools
