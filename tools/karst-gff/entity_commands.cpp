#include "tools/karst-gff/entity_commands.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/load_report.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/inspect/entity_rows.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/karst-gff/text_table.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

// The viewer's lines for what the loads met are diagnostics here: standard error, so standard
// output stays the table or the JSON alone.
void ReportNotes(std::vector<LoadNote>& notes) {
  for (const LoadNote& note : notes) {
    if (const std::optional<PrintedLine> line = PrintedLineOf(note)) {
      std::string_view text = line->text;
      while (!text.empty() && text.back() == '\n') {
        text.remove_suffix(1);
      }
      ReportError(kTool, note.file, ShownText(text));
    }
  }
  notes.clear();
}

// A bitmap number, or "-" where there is none.
std::string BitmapCell(const std::optional<std::uint32_t>& value) { return value ? std::to_string(*value) : "-"; }

struct EntitiesOptions {
  std::string path;
  std::string objectsPath;
  bool json = false;
};

std::string EntityTable(const std::vector<EntityRow>& rows) {
  constexpr Align kNumber = Align::kRight;
  constexpr std::array kColumns{kNumber, kNumber, kNumber, kNumber, kNumber,      kNumber,     kNumber,
                                kNumber, kNumber, kNumber, kNumber, Align::kLeft, Align::kLeft};
  std::vector<std::vector<std::string>> cells{
      {"index", "x", "y", "z", "flags", "object", "bitmap", "left", "top", "width", "height", "mirrored", "drawn"}};
  for (const EntityRow& row : rows) {
    const auto side = [&row](std::int32_t EntityRectangle::*field) {
      return row.rectangle ? std::to_string((*row.rectangle).*field) : std::string("-");
    };
    cells.push_back({std::to_string(row.index), std::to_string(row.x), std::to_string(row.y), std::to_string(row.z),
                     std::to_string(row.flags), std::to_string(row.objectId), BitmapCell(row.bitmapId),
                     side(&EntityRectangle::left), side(&EntityRectangle::top), side(&EntityRectangle::width),
                     side(&EntityRectangle::height), row.mirrored ? "yes" : "no",
                     row.drawn() ? std::string("yes") : "no: " + std::string(ReasonText(row.reason))});
  }
  return AlignedTable(kColumns, cells);
}

int RunEntities(const EntitiesOptions& options) {
  std::vector<LoadNote> notes;
  const LoadReport report = LoadReport::Into(notes);
  // The viewer loads its objects before its first region. The library named on the command line
  // must be usable; the one found beside the region only lends its objects when it is.
  const bool named = !options.objectsPath.empty();
  const std::string libraryPath = named ? options.objectsPath : LibraryBeside(options.path);
  std::unique_ptr<ObjectLibrary> library;
  if (libraryPath.empty()) {
    ReportError(kTool, options.path,
                std::string("no ") + kObjectLibraryFileName + " beside it: no object is drawn (\"no object library\")");
  } else {
    std::string error;
    library = ReadLibraryInput(libraryPath, report, error);
    ReportNotes(notes);
    if (library == nullptr && named) {
      ReportError(kTool, libraryPath, error);
      return kExitFailure;
    }
    if (library == nullptr) {
      ReportError(kTool, libraryPath, error + ": no object is drawn (\"no object library\")");
    } else if (!named) {
      std::cerr << kTool << ": objects from " << libraryPath << "\n";
    }
  }
  std::string error;
  const std::unique_ptr<Region> region = ReadRegionInput(options.path, report, error);
  ReportNotes(notes);
  if (region == nullptr) {
    ReportError(kTool, options.path, error);
    return kExitFailure;
  }
  const std::vector<EntityRow> rows = EntityRows(*region, library.get());
  if (options.json) {
    std::cout << EntityRowsJson(platform::PathText(platform::NativePath(options.path).filename()), rows) << "\n";
  } else {
    std::cout << EntityTable(rows);
  }
  return kExitSuccess;
}

struct FindOptions {
  std::string folder;
  std::optional<std::uint32_t> object;
  std::optional<std::uint32_t> bitmap;
  std::optional<std::string> name;
  bool json = false;
};

struct EntityMatch {
  std::string file;
  EntityRow row;
};

struct NameMatch {
  std::string file;
  std::string name;
};

// The search text of --name as the Latin-1 bytes the names are compared in; nothing, with why
// in `problem`, when no name can hold it.
std::optional<std::string> SearchedName(const std::string& typed, std::string& problem) {
  const std::optional<std::string> text = platform::CommandLineWordAsUtf8(typed);
  if (!text) {
    problem = "the search text is no text in the terminal's encoding";
    return std::nullopt;
  }
  const std::optional<std::vector<std::uint8_t>> bytes =
      Latin1Of(std::span(reinterpret_cast<const std::uint8_t*>(text->data()), text->size()), problem);
  if (!bytes) {
    problem = "the search text: " + problem;
    return std::nullopt;
  }
  return std::string(bytes->begin(), bytes->end());
}

bool Matches(const FindOptions& options, const EntityRow& row) {
  if (options.object) {
    return row.objectId == *options.object;
  }
  return row.bitmapId && *row.bitmapId == *options.bitmap;
}

void PrintEntityMatches(const std::vector<EntityMatch>& matches, bool json) {
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [file, row] : matches) {
      list.push_back({{"file", file},
                      {"index", row.index},
                      {"x", row.x},
                      {"y", row.y},
                      {"objectId", row.objectId},
                      {"bitmapId", row.bitmapId ? nlohmann::json(*row.bitmapId) : nlohmann::json(nullptr)}});
    }
    std::cout << JsonText({{"matches", std::move(list)}}) << "\n";
    return;
  }
  constexpr Align kNumber = Align::kRight;
  constexpr std::array kColumns{Align::kLeft, kNumber, kNumber, kNumber, kNumber, kNumber};
  std::vector<std::vector<std::string>> cells{{"file", "index", "x", "y", "object", "bitmap"}};
  for (const auto& [file, row] : matches) {
    cells.push_back({EscapedText(file), std::to_string(row.index), std::to_string(row.x), std::to_string(row.y),
                     std::to_string(row.objectId), BitmapCell(row.bitmapId)});
  }
  std::cout << AlignedTable(kColumns, cells);
}

void PrintNameMatches(const std::vector<NameMatch>& matches, bool json) {
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [file, name] : matches) {
      list.push_back({{"file", file}, {"name", ByteText(name)}});
    }
    std::cout << JsonText({{"matches", std::move(list)}}) << "\n";
    return;
  }
  constexpr std::array kColumns{Align::kLeft, Align::kLeft};
  std::vector<std::vector<std::string>> cells{{"file", "name"}};
  for (const auto& [file, name] : matches) {
    cells.push_back({EscapedText(file), ShownText(name)});
  }
  std::cout << AlignedTable(kColumns, cells);
}

int RunFind(const FindOptions& options) {
  const std::filesystem::path folder = platform::NativePath(options.folder);
  std::error_code code;
  if (!std::filesystem::is_directory(folder, code)) {
    const std::string problem = InputProblem(options.folder);
    ReportError(kTool, options.folder, problem.empty() ? "not a folder" : problem);
    return kExitFailure;
  }
  const RegionFileList regionFiles = RegionFilesIn(options.folder);
  if (!regionFiles.problem.empty()) {
    ReportError(kTool, options.folder, regionFiles.problem);
    return kExitFailure;
  }
  const std::vector<std::string>& names = regionFiles.names;
  std::optional<std::string> searched;
  if (options.name) {
    std::string problem;
    searched = SearchedName(*options.name, problem);
    if (!searched) {
      ReportError(kTool, options.folder, "no matches: " + problem);
      if (options.json) {
        PrintNameMatches({}, true);
      }
      return kExitSuccess;
    }
  }
  std::vector<LoadNote> notes;
  const LoadReport report = LoadReport::Into(notes);
  std::unique_ptr<ObjectLibrary> library;
  if (!options.name) {
    const std::string libraryPath = ObjectLibraryIn(platform::PathText(folder));
    std::string error;
    library = ReadLibraryInput(libraryPath, report, error);
    ReportNotes(notes);
    if (library == nullptr && options.bitmap) {
      ReportError(kTool, libraryPath, error + ": the bitmap numbers come from it");
      return kExitFailure;
    }
    if (library == nullptr) {
      ReportError(kTool, libraryPath, error + ": the matches have no bitmap numbers");
    }
  }
  std::vector<EntityMatch> entityMatches;
  std::vector<NameMatch> nameMatches;
  bool everyRegionRead = true;
  for (const std::string& name : names) {
    const std::string path = platform::PathText(folder / platform::NativePath(name));
    std::string error;
    const std::unique_ptr<Region> region = ReadRegionInput(path, report, error);
    ReportNotes(notes);
    if (region == nullptr) {
      ReportError(kTool, path, error + ": not searched");
      everyRegionRead = false;
      continue;
    }
    if (options.name) {
      if (region->name && HoldsIgnoringCase(*region->name, *searched)) {
        nameMatches.push_back({name, *region->name});
      }
      continue;
    }
    for (const EntityRow& row : EntityRows(*region, library.get())) {
      if (Matches(options, row)) {
        entityMatches.push_back({name, row});
      }
    }
  }
  if (!options.json && entityMatches.empty() && nameMatches.empty()) {
    ReportError(kTool, options.folder, "no matches");
  } else if (options.name) {
    PrintNameMatches(nameMatches, options.json);
  } else {
    PrintEntityMatches(entityMatches, options.json);
  }
  return everyRegionRead ? kExitSuccess : kExitFailure;
}

}  // namespace

void AddEntitiesCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<EntitiesOptions>();
  CLI::App* command =
      app.add_subcommand("entities", "List every entity of a region with the bitmap and rectangle it is drawn with");
  command->footer(
      "One row per entity the object layer walks, in table order: its position, lift (z), flags,\n"
      "object and, from the object library, its bitmap and the rectangle of the whole-region\n"
      "picture it covers (left, top, width, height, before clipping: it may begin at negative\n"
      "coordinates or end beyond 2048 x 1536). An entity that leaves no pixel in the picture says\n"
      "why: no object library, no definition, wrong-size definition, no bitmap, no pixels, too\n"
      "large to draw (wider or taller than 65534), or outside the region (a rectangle that only\n"
      "touches an edge from outside is outside).\n"
      "\n"
      "The objects come from --objects, or else from the OBJEX.GFF beside the region file (in any\n"
      "case), which is named on standard error. A region the viewer would not show is an error.\n"
      "\n"
      "Examples:\n"
      "  karst-gff entities RGN01.GFF                          the table\n"
      "  karst-gff entities RGN01.GFF --objects OBJEX.GFF --json\n"
      "    {\"entities\":[{\"bitmapId\":554,\"drawn\":true,\"flags\":128,\"height\":56,\"index\":0,\"left\":1303,\n"
      "      \"mirrored\":true,\"objectId\":158,\"top\":-42,\"width\":32,\"x\":1319,\"y\":12,\"z\":0}],\n"
      "     \"file\":\"RGN01.GFF\"}");
  command->add_option("RGN.GFF", options->path, "the region file")->required()->type_name("");
  command
      ->add_option("--objects", options->objectsPath,
                   "the object library; without it, the OBJEX.GFF beside the region file")
      ->type_name("OBJEX.GFF");
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunEntities(*options); });
}

void AddFindCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<FindOptions>();
  CLI::App* command =
      app.add_subcommand("find", "Find where a game folder places an object or a bitmap, or which regions bear a name");
  command->footer(
      "Searches every RGN*.GFF of the folder in the viewer's order. --object and --bitmap list\n"
      "every entity placing that object, or an object drawn with that bitmap (bitmap numbers\n"
      "come from the folder's OBJEX.GFF), in table order; --name lists the regions whose name\n"
      "holds TEXT, letters matched without regard to case, accented ones too (grün finds\n"
      "Grünwiese). Names are Latin-1: a TEXT with a character Latin-1 cannot hold matches nothing,\n"
      "and standard error says so.\n"
      "\n"
      "A region that cannot be read or that the viewer would not show is named on standard error\n"
      "and the others are still searched. Exit status: 0 whether or not anything matched; 1 when\n"
      "the folder has no region files, --bitmap has no object library, or a region was not\n"
      "searched.\n"
      "\n"
      "Examples:\n"
      "  karst-gff find ~/game --object 158\n"
      "  karst-gff find ~/game --bitmap 555 --json\n"
      "    {\"matches\":[{\"bitmapId\":555,\"file\":\"RGN01.GFF\",\"index\":2,\"objectId\":187,\"x\":983,\"y\":18}]}\n"
      "  karst-gff find ~/game --name town\n"
      "  karst-gff find ~/game --name town --json\n"
      "    {\"matches\":[{\"file\":\"RGN04.GFF\",\"name\":\"Old Town\"}]}");
  command->add_option("GAMEDIR", options->folder, "the game folder")->required()->type_name("");
  CLI::Option_group* search = command->add_option_group("search", "what to look for, exactly one of");
  search->add_option("--object", options->object, "entities placing object N (its OJFF chunk number)")
      ->type_name("N")
      ->check(ChunkNumber());
  search->add_option("--bitmap", options->bitmap, "entities whose object is drawn with bitmap N (a BMP chunk number)")
      ->type_name("N")
      ->check(ChunkNumber());
  search->add_option("--name", options->name, "regions whose name holds TEXT, case ignored")->type_name("TEXT");
  search->require_option(1);
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunFind(*options); });
}

}  // namespace karst::tools
