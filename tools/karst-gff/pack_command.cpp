#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "platform/file_safety.h"
#include "platform/stop_requests.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/edit/edit_loop.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/karst-gff/unpack_command.h"
#include "tools/pack/pack_job.h"
#include "tools/pack/unpack_files.h"

namespace karst::tools {
namespace {

struct PackCommandOptions {
  std::string folder;
  std::string output;
  bool replace = false;
  bool overwriteChanged = false;
  bool nearest = false;
  bool force = false;
  bool watch = false;
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

// The unpack folder a problem about `file` is of, as the result has it; null when none is.
const PackedFolder* FolderOf(const PackResult& result, const std::string& file) {
  for (const PackedFolder& folder : result.folders) {
    if (folder.folder == file || folder.path == file) {
      return &folder;
    }
  }
  return nullptr;
}

// The way forward from a refusal on this command line, put after its words.
std::string Hint(const JobProblem& problem, const PackedFolder* folder) {
  const std::string kept = folder != nullptr ? folder->keptAs : std::string();
  switch (problem.kind) {
    case ProblemKind::kOutputExists:
      return "; --replace keeps it as " + kept + " and puts the new file in its place";
    case ProblemKind::kOutputChanged:
      return " (--overwrite-changed replaces it all the same, keeping it as " + kept + ")";
    case ProblemKind::kLayoutWouldChange:
    case ProblemKind::kWouldNotLoad:
      return " (--force writes it anyway)";
    case ProblemKind::kColourMissing:
      return " (--nearest takes the nearest colour)";
    case ProblemKind::kTransparencyMissing:
      return ", or name the colour that stands for transparent (--transparent-colour RRGGBB)";
    default:
      return {};
  }
}

void PrintProblem(const JobProblem& problem, const PackResult& result) {
  const PackedFolder* folder = FolderOf(result, problem.file);
  std::string file = problem.file;
  if (folder != nullptr && folder->path == file && folder->output != file) {
    file += " (" + folder->output + ", case ignored)";
  }
  std::string words = problem.words + Hint(problem, folder);
  if (result.written.empty()) {
    words = NothingWritten(words);
  }
  ReportError(kTool, file, words);
  // A refusal about one file of the folder: unpack writes it again, leaving the other edits.
  if (folder != nullptr && !problem.place.form.empty()) {
    ReportError(kTool, problem.file,
                "to have " + problem.place.form + " as unpack wrote it, leaving the other edits: karst-gff unpack " +
                    (folder->source.empty() ? std::string("GAME.GFF") : folder->source) + " -o " + problem.file +
                    " --restore " + problem.place.form);
  }
  if (problem.kind == ProblemKind::kWriteFailed && folder != nullptr && problem.file == folder->path) {
    for (const std::string& written : result.written) {
      ReportError(kTool, written, "was written before the failure");
    }
  }
}

void PrintPacked(const PackedFolder& folder, const PackCommandOptions& options) {
  std::cout << folder.folder << " -> " << folder.path;
  if (folder.identical) {
    std::cout << ": it already holds these very bytes; nothing written";
  } else if (folder.packed.changes.empty()) {
    std::cout << ": nothing changed, the original's very bytes";
  }
  if (!folder.kept.empty()) {
    std::cout << " (the file it replaced kept as " << folder.kept << ")";
  }
  std::cout << "\n";
  for (const ChunkChange& change : folder.packed.changes) {
    std::cout << "  " << change.Text() << "\n";
  }
  if (folder.packed.nearestPixels > 0) {
    std::cout << "  " << folder.packed.nearestPixels << " pixels took the nearest colour of the palette\n";
  }
  if (folder.packed.transparentPixels > 0) {
    char colour[8];
    std::snprintf(colour, sizeof colour, "#%06x", *ColourValue(options.transparentColour));
    std::cout << "  " << folder.packed.transparentPixels << " pixels of " << colour << " were taken as transparent\n";
  }
  for (const std::string& note : folder.packed.notes) {
    std::cout << "  note: " << note << "\n";
  }
}

int RunPack(const PackCommandOptions& options) {
  PackRequest request{options.folder, options.output, options.replace, options.overwriteChanged, {}};
  request.options.nearest = options.nearest;
  request.options.force = options.force;
  request.options.transparentColour = ColourValue(options.transparentColour);
  ProgressBar bar(platform::StandardErrorIsTerminal());
  JobContext context(bar.Listener());
  const PackResult result = PackJob(request, context);
  bar.Finish();
  for (const PackedFolder& folder : result.folders) {
    if (folder.written || folder.identical) {
      PrintPacked(folder, options);
    }
  }
  for (const JobProblem& problem : result.problems) {
    PrintProblem(problem, result);
  }
  return result.complete ? kExitSuccess : kExitFailure;
}

// One pack of the watch, or its refusal, as a line (and the problems as pack prints them).
void PrintWatchedPack(const EditPack& pack, const PackCommandOptions& options) {
  if (pack.outcome == EditOutcome::kReplaced || pack.outcome == EditOutcome::kUnchanged) {
    std::cout << options.folder << " -> " << options.output
              << (pack.outcome == EditOutcome::kReplaced ? ": packed"
                                                         : ": it already holds these very bytes; nothing written");
    if (!pack.keptOriginal.empty()) {
      std::cout << " (the file it replaced kept as " << pack.keptOriginal << ")";
    }
    std::cout << std::endl;
    return;
  }
  for (const JobProblem& problem : pack.problems) {
    std::string hint;
    if (problem.kind == ProblemKind::kOutputExists) {
      hint = "; --replace keeps it as " + platform::KeptName(problem.file) + " and packs into its place";
    } else if (problem.kind != ProblemKind::kOutputChanged) {
      hint = Hint(problem, nullptr);
    }
    ReportError(kTool, problem.file, problem.words + hint);
    if (!problem.place.form.empty()) {
      ReportError(kTool, problem.file,
                  "to have " + problem.place.form +
                      " as unpack wrote it, leaving the other edits: karst-gff unpack GAME.GFF -o " + options.folder +
                      " --restore " + problem.place.form);
    }
  }
  std::string words = EditOutcomeWords(pack.outcome);
  if (pack.outcome == EditOutcome::kChangedByOther) {
    words =
        "was changed by another program since this watch last wrote it; nothing written: put back the file "
        "this folder packed, unpack the changed file again, or stop the watch and run karst-gff pack " +
        options.folder + " -o " + options.output + " --replace --overwrite-changed";
  }
  ReportError(kTool, pack.outcome == EditOutcome::kFolderGone ? options.folder : options.output, words);
}

int RunWatch(const PackCommandOptions& options) {
  if (!HoldsUnpack(options.folder)) {
    ReportError(kTool, options.folder,
                "holds no manifest.json: --watch takes one folder that karst-gff unpack made; a folder of them is "
                "not watched (watch each of its folders)");
    return kExitFailure;
  }
  if (platform::InspectPath(options.output).kind == platform::FileKind::kDirectory) {
    ReportError(kTool, options.output, "is a folder: --watch packs into one file");
    return kExitFailure;
  }
  WatchRequest request;
  request.pack.folder = options.folder;
  request.pack.target = options.output;
  request.pack.replace = options.replace;
  request.pack.options.nearest = options.nearest;
  request.pack.options.force = options.force;
  request.pack.options.transparentColour = ColourValue(options.transparentColour);
  // Running the watch is asking for packs: an edit paused after a revert goes on.
  if (const std::string failure = ResumeEdit(options.folder); !failure.empty()) {
    ReportError(kTool, options.folder, failure);
    return kExitFailure;
  }
  JobContext context;
  const platform::StopRequests stop([&context] { context.Cancel(); });
  // The folder as it is now is packed first: the file is then what the folder says from the start.
  const EditPack first = PackEdit(request.pack, context);
  PrintWatchedPack(first, options);
  const bool refusedForGood =
      first.outcome == EditOutcome::kRefused &&
      std::any_of(first.problems.begin(), first.problems.end(), [](const JobProblem& problem) {
        return problem.kind == ProblemKind::kOutputExists || problem.kind == ProblemKind::kOutputRefused;
      });
  if (refusedForGood || first.outcome == EditOutcome::kFolderGone || first.outcome == EditOutcome::kCancelled) {
    return first.outcome == EditOutcome::kCancelled ? kExitSuccess : kExitFailure;
  }
  std::cerr << "karst-gff: watching " << options.folder << ": each save is packed into " << options.output
            << " (Ctrl+C ends)" << std::endl;
  bool gone = false;
  RunEditLoop(request, context, [&](const EditPack& pack) {
    PrintWatchedPack(pack, options);
    gone = gone || pack.outcome == EditOutcome::kFolderGone;
  });
  return gone ? kExitFailure : kExitSuccess;
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
      "--watch goes on after the first pack: each save in DIR (files changed, then still for 300 ms)\n"
      "is packed into OUT.GFF at once, a line for each pack or refusal, until Ctrl+C, which waits\n"
      "for a pack in flight. OUT.GFF is replaced in one step, never half written. Without\n"
      "--replace the first pack makes OUT.GFF; with it, an existing OUT.GFF is kept as .orig first.\n"
      "Later saves replace only what the watch itself wrote, keeping no copy of it: a file another\n"
      "program changed is refused, and a refused pack writes nothing. A file another program holds\n"
      "open is tried again for a few seconds, then at the next save. Only one folder that unpack\n"
      "made is watched, not a folder of them; the watch ends when DIR is deleted.\n"
      "\n"
      "Examples:\n"
      "  karst-gff pack rgn01 -o RGN01-new.GFF\n"
      "  karst-gff pack rgn01 -o ~/game/RGN01.GFF --replace\n"
      "  karst-gff pack rgn01 -o ~/game/RGN01.GFF --replace --overwrite-changed\n"
      "  karst-gff pack objex -o OBJEX-new.GFF --transparent-colour ff00ff\n"
      "  karst-gff pack --watch rgn01 -o ~/game/RGN01.GFF --replace\n"
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
  command->add_flag("--watch", options->watch, "go on: pack DIR into OUT.GFF after each save in it, until Ctrl+C")
      ->excludes("--overwrite-changed");
  command->callback([options, &exitCode] { exitCode = options->watch ? RunWatch(*options) : RunPack(*options); });
}

}  // namespace karst::tools
