// Where the viewer finds its data: the directory of its own program file, and the region files
// in it.
//
// Paths are plain strings. The working path ends in the separator the program's own path had;
// region paths are the directory, one separator and the entry's name, so a directory that
// already ends in a separator gives two in a row, which the file system reads as one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/region.h"
#include "gff/pointer_list.h"

namespace karst {

// Full paths of region files, in the order the directory search delivered them.
using RegionList = PointerList<std::string>;

// The directory of the program's own file, ending in its separator; empty when the program's
// path cannot be read.
std::optional<std::string> FindWorkingPath();

// Everything up to and including the last '/' or '\'; the whole path when it has neither;
// empty for no path.
std::optional<std::string> DirectoryOf(std::optional<std::string_view> path);

// Every entry of `directory` that matches `pattern`, files and sub-directories alike, "." and
// ".." skipped, as full paths. Never null; empty when nothing matched.
std::unique_ptr<RegionList> FindRegionFiles(std::string_view directory, std::string_view pattern);

// The entry whose file name (the part after the directory and separator) is exactly
// `fileName`; the first entry when none is, or for an empty name. Null for an empty list.
const RegionList::Node* EntryNamed(const RegionList& list, std::string_view fileName);

}  // namespace karst
