#include "tools/karst-gff/objects_command.h"

#include <array>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/cli/cli.h"
#include "tools/inspect/game_check.h"
#include "tools/inspect/object_rows.h"
#include "tools/job/job_context.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/karst-gff/text_table.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

struct ObjectsOptions {
  std::string path;
  bool json = false;
};

nlohmann::json ObjectsJson(const std::string& path, const std::vector<ObjectRow>& rows) {
  nlohmann::json objects = nlohmann::json::array();
  for (const auto& [id, definition, bitmap] : rows) {
    if (!definition) {
      objects.push_back({{"id", id}, {"valid", false}});
      continue;
    }
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
// has null, and a definition of the wrong size named as such after its id, across the columns.
std::string ObjectsTable(const std::vector<ObjectRow>& objects) {
  std::vector<std::string> header = {"id"};
  for (const ObjectDefField& field : kObjectDefFields) {
    header.push_back(std::string(field.name));
  }
  header.insert(header.end(), {"frames", "size", "encoding"});
  std::vector<std::vector<std::string>> rows = {header};
  for (const auto& [number, definition, bitmap] : objects) {
    const std::string id = std::to_string(number);
    if (!definition) {
      rows.push_back({id, "definition not 16 bytes long"});
      continue;
    }
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
  constexpr Align kNumber = Align::kRight;
  constexpr std::array kColumns{kNumber, kNumber, kNumber, kNumber, kNumber, kNumber,     kNumber,
                                kNumber, kNumber, kNumber, kNumber, kNumber, Align::kLeft};
  return AlignedTable(kColumns, rows);
}

int RunObjects(const ObjectsOptions& options) {
  JobContext context;
  const ObjectsResult result = ListObjects(options.path, context);
  for (const JobProblem& problem : result.problems) {
    ReportError(kTool, problem.file,
                problem.words + (problem.kind == ProblemKind::kWouldNotLoad ? "; nothing listed" : ""));
  }
  for (const Finding& finding : result.findings) {
    ReportError(kTool, options.path, (result.listed ? "warning: " : "") + ShownText(FindingLine(finding)));
  }
  if (!result.listed) {
    return kExitFailure;
  }
  if (options.json) {
    std::cout << JsonText(ObjectsJson(options.path, result.rows)) << "\n";
  } else {
    std::cout << ObjectsTable(result.rows);
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
