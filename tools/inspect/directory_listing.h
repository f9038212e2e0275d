// The chunk directory of a container as `karst-gff info` shows it: the records as plain values,
// JSON for programs, text for people, warnings where the file cuts the directory short, and the
// job that reads the directories of several files.
//
// JSON: {"types":[{"tag":"TILE","tagHex":"54494c45","count":3,"flags":0,"indexed":false,
//                  "entries":[{"number":9,"offset":120,"size":300}]}]}
// "tag" holds all four bytes, each outside printable ASCII escaped as \u00XX; "tagHex" the same
// four bytes in hex. Records in directory order, entries in their order.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "gff/format.h"
#include "gff/gff_directory.h"
#include "gff/gff_file.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

// One chunk type record of a directory, owning a copy of its entries.
struct DirectoryRecord {
  Tag tag{};
  std::uint32_t count = 0;
  std::uint32_t flags = 0;
  bool indexed = false;
  std::vector<ChunkEntry> entries;
};

std::vector<DirectoryRecord> DirectoryRecords(const GffDirectory& directory);

nlohmann::json DirectoryJson(std::span<const DirectoryRecord> records);

// A heading line with `name`, then a line per record and one per entry; tag bytes outside
// printable ASCII as \xXX.
std::string DirectoryListing(std::string_view name, std::span<const DirectoryRecord> records);

// What the reader could not see because the file ends too soon: the directory itself running
// past the end, and the first index chunk ("GFFI") whose payload does (with how many more do),
// each with how many bytes are missing. Empty when the whole directory lies in the file.
std::vector<std::string> DirectoryWarnings(const GffFile& file);

// One file's directory, or why it has none.
struct ContainerDirectory {
  std::string file;
  // The viewer's lines for what opening the file met (kNote), before the problem if any.
  std::vector<JobProblem> notes;
  // Why the file is not listed: it cannot be read (kUnreadable) or is no container.
  std::optional<JobProblem> problem;
  std::vector<std::string> warnings;
  std::vector<DirectoryRecord> records;
};

struct DirectoriesResult {
  // One per file read, in the order given; a cancelled job stops before the next file.
  std::vector<ContainerDirectory> files;
  // kCancelled when the job was cancelled before every file was read.
  std::vector<JobProblem> problems;
};

// The info job: every file's directory, one item per file.
DirectoriesResult ReadDirectories(const std::vector<std::string>& paths, JobContext& context);

}  // namespace karst::tools
