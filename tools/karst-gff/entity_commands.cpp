#include "tools/karst-gff/entity_commands.h"

#include <array>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/inspect/entity_listing.h"
#include "tools/inspect/entity_rows.h"
#include "tools/inspect/folder_search.h"
#include "tools/job/job_context.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/karst-gff/text_table.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

// Problems and the viewer's lines for what the loads met, on standard error, so standard output
// stays the table or the JSON alone.
void ReportProblems(std::span<const JobProblem> problems) {
  for (const JobProblem& problem : problems) {
    ReportError(kTool, problem.file, problem.kind == ProblemKind::kNote ? ShownText(problem.words) : problem.words);
  }
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
  JobContext context;
  const EntitiesResult result = ListEntities({options.path, options.objectsPath}, context);
  const std::span<const JobProblem> problems = result.problems;
  ReportProblems(problems.first(result.libraryProblems));
  if (!result.objectsFrom.empty()) {
    std::cerr << kTool << ": objects from " << result.objectsFrom << "\n";
  }
  ReportProblems(problems.subspan(result.libraryProblems));
  if (!result.listed) {
    return kExitFailure;
  }
  if (options.json) {
    std::cout << EntityRowsJson(platform::PathText(platform::NativePath(options.path).filename()), result.rows) << "\n";
  } else {
    std::cout << EntityTable(result.rows);
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

// The query of the options; `problem` says why a --name text can match nothing.
FindQuery QueryOf(const FindOptions& options, std::string& problem) {
  if (options.object) {
    return {FindKind::kObject, *options.object, std::nullopt};
  }
  if (options.bitmap) {
    return {FindKind::kBitmap, *options.bitmap, std::nullopt};
  }
  return {FindKind::kName, 0, SearchedName(*options.name, problem)};
}

int RunFind(const FindOptions& options) {
  std::string textProblem;
  const FindQuery query = QueryOf(options, textProblem);
  FindResult result;
  {
    ProgressBar bar(platform::StandardErrorIsTerminal());
    JobContext context(bar.Listener());
    result = FindInFolder(options.folder, query, context);
  }
  ReportProblems(result.problems);
  if (!result.searched) {
    return kExitFailure;
  }
  if (!textProblem.empty()) {
    ReportError(kTool, options.folder, "no matches: " + textProblem);
    if (options.json) {
      PrintNameMatches({}, true);
    }
    return kExitSuccess;
  }
  if (!options.json && result.entityMatches.empty() && result.nameMatches.empty()) {
    ReportError(kTool, options.folder, "no matches");
  } else if (options.name) {
    PrintNameMatches(result.nameMatches, options.json);
  } else {
    PrintEntityMatches(result.entityMatches, options.json);
  }
  return result.regionLeftOut ? kExitFailure : kExitSuccess;
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
