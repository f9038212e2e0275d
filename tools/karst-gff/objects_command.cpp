#include "tools/karst-gff/objects_command.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/object_library.h"
#include "gff/format.h"
#include "gff/gff_file.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/input_file.h"
#include "tools/inspect/game_check.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

struct ObjectsOptions {
  std::string path;
  bool json = false;
};

// The bitmap a definition names, as far as the library has it: no frame count when the bitmap
// is missing, no frame 0 when it has no frames, no encoding when frame 0 carries no tag (a blank
// or empty frame).
struct BitmapSummary {
  std::optional<std::size_t> frames;
  const Frame* first = nullptr;
  std::optional<std::string> encoding;
};

BitmapSummary SummaryOf(const ObjectLibrary& library, const ObjectDef& definition) {
  BitmapSummary summary;
  const auto bitmap = library.bmpSets.find(static_cast<std::int32_t>(definition.bitmapId));
  if (bitmap == library.bmpSets.end()) {
    return summary;
  }
  summary.frames = bitmap->second->frames.size();
  if (bitmap->second->frames.empty()) {
    return summary;
  }
  summary.first = &bitmap->second->frames.front();
  const Tag& tag = summary.first->encoding;
  if (!SameTag(tag, Tag{})) {
    summary.encoding = std::string(tag.data(), 4);
  }
  return summary;
}

nlohmann::json ObjectsJson(const std::string& path, const ObjectLibrary& library) {
  nlohmann::json objects = nlohmann::json::array();
  for (const auto& [key, definition] : library.objectDefs) {
    const auto id = static_cast<std::uint32_t>(key);
    if (!definition) {
      objects.push_back({{"id", id}, {"valid", false}});
      continue;
    }
    const BitmapSummary bitmap = SummaryOf(library, *definition);
    nlohmann::json object = {
        {"id", id},
        {"valid", true},
        {"frames", bitmap.frames ? nlohmann::json(*bitmap.frames) : nlohmann::json()},
        {"width", bitmap.first ? nlohmann::json(bitmap.first->width) : nlohmann::json()},
        {"height", bitmap.first ? nlohmann::json(bitmap.first->height) : nlohmann::json()},
        {"encoding", bitmap.encoding ? nlohmann::json(ByteText(*bitmap.encoding)) : nlohmann::json()},
    };
    for (const ObjectDefField& field : kObjectDefFields) {
      object[std::string(field.name)] = (*definition).*field.member;
    }
    objects.push_back(std::move(object));
  }
  return {{"file", path}, {"objects", std::move(objects)}};
}

// The table: a header, then a row per definition; numbers right-aligned, "-" where the JSON
// has null, and a definition of the wrong size named as such after its id.
std::string ObjectsTable(const ObjectLibrary& library) {
  std::vector<std::string> header = {"id"};
  for (const ObjectDefField& field : kObjectDefFields) {
    header.push_back(std::string(field.name));
  }
  header.insert(header.end(), {"frames", "size", "encoding"});
  std::vector<std::vector<std::string>> rows = {header};
  for (const auto& [key, definition] : library.objectDefs) {
    const std::string id = std::to_string(static_cast<std::uint32_t>(key));
    if (!definition) {
      rows.push_back({id, "definition not 16 bytes long"});
      continue;
    }
    const BitmapSummary bitmap = SummaryOf(library, *definition);
    std::vector<std::string> row = {id};
    for (const ObjectDefField& field : kObjectDefFields) {
      row.push_back(std::to_string((*definition).*field.member));
    }
    row.insert(row.end(),
               {bitmap.frames ? std::to_string(*bitmap.frames) : "-",
                bitmap.first ? std::to_string(bitmap.first->width) + " x " + std::to_string(bitmap.first->height) : "-",
                bitmap.encoding ? ShownText(*bitmap.encoding) : "-"});
    rows.push_back(std::move(row));
  }
  const std::size_t columns = rows.front().size();
  std::vector<std::size_t> widths(columns, 0);
  for (const std::vector<std::string>& row : rows) {
    // A short row's last cell runs on across the columns after it and widens none of them.
    const std::size_t measured = row.size() == columns ? columns : row.size() - 1;
    for (std::size_t column = 0; column < measured; ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    std::string line;
    for (std::size_t column = 0; column < row.size(); ++column) {
      const std::string& cell = row[column];
      const bool last = column + 1 == row.size();
      const std::size_t pad = last ? 0 : widths[column] - cell.size();
      line += (column == 0 ? "" : "  ") + std::string(pad, ' ') + cell;
    }
    text += line + "\n";
  }
  return text;
}

// Why the file is no object library to list; empty when it is one.
std::string LibraryProblem(const std::string& path) {
  GffFile file;
  if (!file.Open(platform::NativePath(path), LoadReport())) {
    return "not a GFF container (no \"GFFI\" header, or too short)";
  }
  if (LooksLikeObjectLibrary(file.directory())) {
    return {};
  }
  for (const ChunkType& record : file.directory()) {
    if (SameTag(record.tag, kTagPal) || SameTag(record.tag, kTagTile) || SameTag(record.tag, kTagMap)) {
      return "a region file (it has PAL, TILE or MAP chunks), not an object library; nothing listed";
    }
  }
  return "not an object library (no OJFF, BMP or CBMP chunks); nothing listed";
}

int RunObjects(const ObjectsOptions& options) {
  const std::string& path = options.path;
  std::string problem = InputProblem(path);
  if (problem.empty()) {
    problem = LibraryProblem(path);
  }
  if (!problem.empty()) {
    ReportError(kTool, path, problem);
    return kExitFailure;
  }
  // The check's own load: its findings are what the viewer would meet in this library.
  const LibraryCheck check = CheckLibrary(path);
  for (const Finding& finding : check.findings) {
    ReportError(kTool, path, (check.library ? "warning: " : "") + ShownText(FindingLine(finding)));
  }
  if (!check.library) {
    return kExitFailure;
  }
  if (options.json) {
    std::cout << JsonText(ObjectsJson(path, *check.library)) << "\n";
  } else {
    std::cout << ObjectsTable(*check.library);
  }
  return kExitSuccess;
}

}  // namespace

void AddObjectsCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ObjectsOptions>();
  CLI::App* command =
      app.add_subcommand("objects", "List the object definitions of an object library with the bitmaps that draw them");
  command->footer(
      "One row per OJFF chunk, in the order of their numbers taken as signed 32-bit values (as the\n"
      "viewer keeps them): the definition's fields, then its bitmap's frame count, the size of\n"
      "frame 0 and that frame's encoding (NRML, PLAN, PLNR or whatever tag it carries). \"-\" in the\n"
      "text and null in the JSON where there is nothing to show: frames when the library has no\n"
      "such bitmap, size when the bitmap has no frames, encoding also for a blank or empty frame.\n"
      "A definition that is not 16 bytes long is listed as {\"id\":N,\"valid\":false}; every other as\n"
      "{\"id\":N,\"valid\":true,...}. What loading the library meets is named on standard error.\n"
      "A region file is refused.\n"
      "\n"
      "Exit status: 1 when the file cannot be read or is no object library, else 0.\n"
      "\n"
      "Examples:\n"
      "  karst-gff objects OBJEX.GFF          the table\n"
      "  karst-gff objects OBJEX.GFF --json   the same as JSON:\n"
      "    {\"file\":\"OBJEX.GFF\",\"objects\":[{\"bitmapId\":10,\"byte10\":0,\"byte11\":0,\"encoding\":\"NRML\",\n"
      "     \"frames\":1,\"height\":32,\"hotspotX\":12,\"hotspotY\":30,\"id\":1,\"valid\":true,\"width\":24,\n"
      "     \"word0\":0,\"word14\":0,\"word6\":0,\"word8\":0}]}");
  command->add_option("OBJEX.GFF", options->path, "the object library to read")->required()->type_name("");
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunObjects(*options); });
}

}  // namespace karst::tools
