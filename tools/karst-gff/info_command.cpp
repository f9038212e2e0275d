#include "tools/karst-gff/info_command.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "gff/format.h"
#include "gff/gff_file.h"
#include "tools/common/cli.h"

namespace karst::tools {
namespace {

struct InfoOptions {
  std::string path;
  bool json = false;
};

nlohmann::json DirectoryAsJson(const GffDirectory& directory) {
  nlohmann::json types = nlohmann::json::array();
  for (const ChunkType& record : directory) {
    nlohmann::json entries = nlohmann::json::array();
    if (record.entries) {
      for (const ChunkEntry& entry : *record.entries) {
        entries.push_back({{"number", entry.number}, {"offset", entry.offset}, {"size", entry.size}});
      }
    }
    types.push_back({{"tag", TagText(record.tag)},
                     {"count", record.count},
                     {"flags", record.flags},
                     {"indexed", record.IsIndexed()},
                     {"entries", entries}});
  }
  return nlohmann::json{{"types", types}};
}

void PrintDirectory(const std::string& path, const GffDirectory& directory) {
  std::cout << path << ": " << directory.count() << " chunk type record"
            << (directory.count() == 1 ? "" : "s") << "\n";
  for (const ChunkType& record : directory) {
    const std::int32_t entryCount = record.entries ? record.entries->count() : 0;
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04X", record.flags);
    std::cout << "\"" << std::string(record.tag.data(), 4) << "\"  count " << record.count << "  flags "
              << flags << "  " << (record.IsIndexed() ? "indexed" : "plain") << "  " << entryCount
              << " entr" << (entryCount == 1 ? "y" : "ies") << "\n";
    if (record.entries) {
      for (const ChunkEntry& entry : *record.entries) {
        std::cout << "    number " << entry.number << "  offset " << entry.offset << "  size " << entry.size
                  << "\n";
      }
    }
  }
}

int RunInfo(const InfoOptions& options) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(options.path, error)) {
    ReportError("karst-gff", options.path, "no such file");
    return kExitFailure;
  }
  GffFile file;
  if (!file.Open(options.path)) {
    ReportError("karst-gff", options.path, "not a GFF container (no \"GFFI\" header, or too short)");
    return kExitFailure;
  }
  if (options.json) {
    std::cout << DirectoryAsJson(file.directory()).dump() << "\n";
  } else {
    PrintDirectory(options.path, file.directory());
  }
  return kExitSuccess;
}

}  // namespace

void AddInfoCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<InfoOptions>();
  CLI::App* command = app.add_subcommand("info", "Show the chunk directory of a GFF container");
  command->footer(
      "Examples:\n"
      "  karst-gff info RGN01.GFF            records and entries as text\n"
      "  karst-gff info OBJEX.GFF --json     the same as JSON:\n"
      "    {\"types\":[{\"tag\":\"TILE\",\"count\":3,\"flags\":0,\"indexed\":false,\n"
      "                \"entries\":[{\"number\":9,\"offset\":120,\"size\":300}]}]}");
  command->add_option("file", options->path, "the container to read")->required();
  command->add_flag("--json", options->json, "print JSON instead of text");
  command->callback([options, &exitCode] { exitCode = RunInfo(*options); });
}

}  // namespace karst::tools
