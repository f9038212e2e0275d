// The chunk directory of an opened container as `karst-gff info` shows it: JSON for programs,
// text for people, and warnings where the file cuts the directory short.
//
// JSON: {"types":[{"tag":"TILE","tagHex":"54494c45","count":3,"flags":0,"indexed":false,
//                  "entries":[{"number":9,"offset":120,"size":300}]}]}
// "tag" holds all four bytes, each outside printable ASCII escaped as \u00XX; "tagHex" the same
// four bytes in hex. Records in directory order, entries in their order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "gff/gff_directory.h"
#include "gff/gff_file.h"

namespace karst::tools {

nlohmann::json DirectoryJson(const GffDirectory& directory);

// A heading line with `name`, then a line per record and one per entry; tag bytes outside
// printable ASCII as \xXX.
std::string DirectoryListing(std::string_view name, const GffDirectory& directory);

// What the reader could not see because the file ends too soon: the directory itself running
// past the end, and the first index chunk ("GFFI") whose payload does (with how many more do),
// each with how many bytes are missing. Empty when the whole directory lies in the file.
std::vector<std::string> DirectoryWarnings(const GffFile& file);

}  // namespace karst::tools
