#include "tools/karst-gff/unpack_command.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/pack/unpack_job.h"
#include "tools/tiled/tiled_map.h"

namespace karst::tools {
namespace {

struct UnpackCommandOptions {
  std::string input;
  std::string output;
  std::string palettePath;
  std::string objectsPath;
  bool force = false;
  std::vector<std::string> restore;
};

// The way forward from a refusal on this command line, put after its words.
std::string Hint(const JobProblem& problem, bool restoring) {
  if (problem.kind == ProblemKind::kEditsWouldBeLost) {
    return " (pack them first; --restore FILE... writes single files again and leaves the other edits; --force "
           "unpacks over all of them)";
  }
  if (restoring && !problem.place.form.empty()) {
    return " (--restore " + problem.place.form + " writes that one again)";
  }
  return {};
}

void PrintProblem(const JobProblem& problem, const UnpackResult& result) {
  std::string words = problem.words + Hint(problem, result.restoring);
  if (result.refused) {
    words = NothingWritten(words);
  } else if (problem.kind == ProblemKind::kUnreadable || problem.kind == ProblemKind::kNotContainer) {
    words += "; skipped";
  }
  ReportError(kTool, problem.file, words);
}

void PrintUnpacked(const UnpackedFolder& folder) {
  std::cout << folder.input << ": " << folder.kind << ", " << folder.chunks << " chunks, " << folder.pictures
            << " pictures";
  if (folder.map) {
    std::cout << ", " << kTiledMapFile << " "
              << (folder.mapObjects.empty() ? "without objects" : "with the objects of " + folder.mapObjects);
  }
  std::cout << " -> " << folder.folder << "\n";
  for (const std::string& leftOut : folder.leftOut) {
    std::cout << "  left out " << leftOut << "\n";
  }
  if (!folder.greyscaleRegion.empty()) {
    std::cout << "note: " << folder.input << ": the pictures are greyscale; unpack again with --palette "
              << folder.greyscaleRegion << " to have them in that region's colours\n";
  }
}

void PrintRestored(const UnpackedFolder& folder) {
  std::cout << folder.input << " -> " << folder.folder << ": written again as unpack writes them, every "
            << "other file left as it is\n";
  for (const std::string& file : folder.written) {
    std::cout << "  " << file << "\n";
  }
  if (folder.sourceChanged) {
    std::cout << "  " << folder.input << " has changed since " << folder.folder << " was unpacked"
              << (folder.holdsLastPack ? " (it holds what the folder last packed into it)" : "")
              << ": the files are as it holds them now\n";
  }
}

int RunUnpack(const UnpackCommandOptions& options) {
  ProgressBar bar(platform::StandardErrorIsTerminal());
  JobContext context(bar.Listener());
  const UnpackResult result = UnpackJob(
      {options.input, options.output, options.palettePath, options.objectsPath, options.force, options.restore},
      context);
  bar.Finish();
  for (const UnpackedFolder& folder : result.folders) {
    if (folder.finished) {
      result.restoring ? PrintRestored(folder) : PrintUnpacked(folder);
    }
  }
  int exitCode = kExitSuccess;
  for (const JobProblem& problem : result.problems) {
    PrintProblem(problem, result);
    exitCode = problem.kind == ProblemKind::kOutputRefused ? kExitUsage : std::max(exitCode, kExitFailure);
  }
  return exitCode;
}

}  // namespace

std::string NothingWritten(const std::string& words) {
  constexpr std::string_view kNothingWritten = "; nothing written";
  return words.ends_with(kNothingWritten) ? words : words + std::string(kNothingWritten);
}

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
      "files, unless --force. An unpack stopped midway leaves DIR marked unfinished (.unpacking),\n"
      "which pack refuses; unpacking into it again finishes it.\n"
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
