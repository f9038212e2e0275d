#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/karst-gff/unpack_command.h"
#include "tools/pack/pack_folder.h"
#include "tools/pack/pack_record.h"
#include "tools/pack/pack_target.h"
#include "tools/pack/unpack_files.h"
#include "tools/text/content_hash.h"

namespace karst::tools {
namespace {

struct PackCommandOptions {
  std::string folder;
  std::string output;
  bool replace = false;
  bool overwriteChanged = false;
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
  std::optional<UnpackFolder> unpacked;
  Packed packed;
  PackTarget target;
  PackRecord record;
  FolderEdits edits;

  PackJob(std::string folderPath, std::string outputPath)
      : folder(std::move(folderPath)), output(std::move(outputPath)) {}
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

// The way forward from a refusal that names one file of the folder: unpack writes it again.
void ReportRestore(const std::string& folder, const std::string& source, const std::string& file) {
  ReportError(kTool, folder,
              "to have " + file + " as unpack wrote it, leaving the other edits: karst-gff unpack " +
                  (source.empty() ? std::string("GAME.GFF") : source) + " -o " + folder + " --restore " + file);
}

// Reads one folder and finds where it goes; false after reporting why not.
bool ReadOne(PackJob& job, bool outputIsFolder) {
  std::string problem;
  UnreadableFolderFile unreadable;
  job.unpacked = ReadUnpackFolder(job.folder, problem, &unreadable);
  if (!job.unpacked) {
    ReportError(kTool, job.folder, problem);
    if (!unreadable.file.empty()) {
      ReportRestore(job.folder, unreadable.source, unreadable.file);
    }
    return false;
  }
  if (outputIsFolder) {
    job.output = platform::PathText(platform::NativePath(job.output) /
                                    platform::NativePath(PackedName(job.unpacked->manifest, job.folder)));
  }
  return true;
}

// Packs one folder and plans its target; false after reporting why not.
bool PackOne(PackJob& job, const PackCommandOptions& options) {
  const Manifest& manifest = job.unpacked->manifest;
  std::string problem;
  PackOptions packOptions;
  packOptions.nearest = options.nearest;
  packOptions.force = options.force;
  packOptions.transparentColour = ColourValue(options.transparentColour);
  std::optional<Packed> packed = Pack(manifest, job.unpacked->files, packOptions, problem);
  if (!packed) {
    ReportError(kTool, job.folder, problem);
    for (const auto& [file, hash] : manifest.hashes) {
      if (problem.starts_with(file + ":") || problem.starts_with(file + " ")) {
        ReportRestore(job.folder, manifest.source, file);
        break;
      }
    }
    return false;
  }
  job.packed = std::move(*packed);
  NoteUnreadMaps(job.folder, job.packed);
  job.record = ReadPackRecord(job.folder);
  job.edits = EditsOf(manifest, job.unpacked->files);
  job.target = PlanPackTarget(job.output, job.packed.bytes,
                              {options.replace, options.overwriteChanged, manifest.sourceHash, &job.record});
  job.unpacked.reset();
  if (job.target.refusal == PackTargetRefusal::kNone) {
    return true;
  }
  std::string hint;
  if (job.target.refusal == PackTargetRefusal::kExists) {
    hint = "; --replace keeps it as " + KeptName(job.target.path) + " and puts the new file in its place";
  } else if (job.target.refusal == PackTargetRefusal::kChanged) {
    hint = " (--overwrite-changed replaces it all the same, keeping it as " + KeptName(job.target.path) + ")";
  }
  const std::string named =
      job.target.path == job.output ? job.target.path : job.target.path + " (" + job.output + ", case ignored)";
  ReportError(kTool, named, job.target.reason + hint + "; nothing written");
  return false;
}

int RunPack(const PackCommandOptions& options) {
  const std::filesystem::path folder = platform::NativePath(options.folder);
  std::vector<PackJob> jobs;
  std::error_code error;
  const bool outputIsFolder = std::filesystem::is_directory(platform::NativePath(options.output), error);
  if (HasManifest(folder)) {
    jobs.emplace_back(options.folder, options.output);
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
      jobs.emplace_back(platform::PathText(path), options.output);
    }
  }
  // Every output is packed, planned and checked before the first is written; each folder's files
  // are let go once it is packed.
  const bool severalOutputs = outputIsFolder || jobs.size() > 1 || !HasManifest(folder);
  for (PackJob& job : jobs) {
    if (!ReadOne(job, severalOutputs) || !PackOne(job, options)) {
      return kExitFailure;
    }
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (platform::SameFileName(jobs[i].output, jobs[j].output)) {
        ReportError(kTool, jobs[i].output,
                    "is where both " + jobs[j].folder + " and " + jobs[i].folder +
                        " would be packed (names are the same without regard to case, as the game finds its "
                        "files): pack one of them on its own with its own -o; nothing written");
        return kExitFailure;
      }
    }
  }
  if (severalOutputs) {
    std::filesystem::create_directories(platform::NativePath(options.output), error);
    if (error) {
      ReportError(kTool, options.output, "cannot create the folder: " + error.message());
      return kExitFailure;
    }
  }
  std::vector<std::string> written;
  for (PackJob& job : jobs) {
    std::string kept;
    if (const std::string failure = PutPackedFile(job.target, job.packed.bytes, kept); !failure.empty()) {
      ReportError(kTool, job.target.path, failure);
      for (const std::string& file : written) {
        ReportError(kTool, file, "was written before the failure");
      }
      return kExitFailure;
    }
    if (!job.target.identical) {
      written.push_back(job.target.path);
    }
    job.record.Note({job.target.key, ContentHash(job.packed.bytes), job.edits});
    if (const std::string failure = WritePackRecord(job.folder, job.record); !failure.empty()) {
      ReportError(kTool, job.folder,
                  "cannot keep the record of what was packed (" + failure + "): a later pack --replace of " +
                      job.target.path + " will take it for a file someone else changed");
    }
    std::cout << job.folder << " -> " << job.target.path;
    if (job.target.identical) {
      std::cout << ": it already holds these very bytes; nothing written";
    } else if (job.packed.changes.empty()) {
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
      "A name that differs only by case from a file beside it is that file. --replace keeps the\n"
      "file it replaces as OUT.GFF.orig, .orig.2, ... first, and writes nothing when it already\n"
      "holds the very bytes. It replaces only the bytes DIR was unpacked from or the bytes DIR's own\n"
      "last pack wrote there (kept in DIR/packed.json, which is no file to edit), so edit, pack,\n"
      "edit, pack needs no other option; a file changed since then (by another program, another\n"
      "folder's pack, or another game file) is refused unless --overwrite-changed.\n"
      "\n"
      "Refused, with nothing written: an existing OUT.GFF without --replace; a changed one without\n"
      "--overwrite-changed; an object library under a region's name (RGN*.GFF) or a region under\n"
      "the library's (OBJEX.GFF); a chunk changed in two forms that disagree; a manifest that is\n"
      "not ours or contradicts the files; a path leading out of DIR; a map layer deleted while it\n"
      "held entities (delete its objects instead); a region that would no longer load, or a\n"
      "container whose payloads overlap or run past its end (both unless --force). A\n"
      "file of DIR that is missing or spoiled is written again, the other edits left, by\n"
      "karst-gff unpack FILE.GFF -o DIR --restore PATH.\n"
      "\n"
      "With a folder of unpacks (from a game folder), every one is packed into OUTDIR under its\n"
      "original name; two that aim at one name, case ignored, are refused before anything is\n"
      "written.\n"
      "\n"
      "Examples:\n"
      "  karst-gff pack rgn01 -o RGN01-new.GFF\n"
      "  karst-gff pack rgn01 -o ~/game/RGN01.GFF --replace\n"
      "  karst-gff pack rgn01 -o ~/game/RGN01.GFF --replace --overwrite-changed\n"
      "  karst-gff pack objex -o OBJEX-new.GFF --transparent-colour ff00ff\n"
      "  karst-gff pack ~/game-unpacked -o ~/game-new");
  command->add_option("DIR", options->folder, "the folder unpack made")->required()->type_name("");
  command->add_option("-o,--output", options->output, "the container to write, or a folder for several")
      ->required()
      ->type_name("OUT.GFF|OUTDIR");
  CLI::Option* replace =
      command->add_flag("--replace", options->replace, "replace an existing file, keeping it as .orig first");
  command
      ->add_flag("--overwrite-changed", options->overwriteChanged,
                 "replace even a file changed since this folder was unpacked or last packed")
      ->needs(replace);
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
