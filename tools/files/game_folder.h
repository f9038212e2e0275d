// The files of a game folder as the viewer finds them, without regard to case: its region files
// (RGN*.GFF) in the viewer's order, and the object library (OBJEX.GFF) beside them.
#pragma once

#include <string>
#include <vector>

namespace karst::tools {

// A folder's region files, or why it has none to give.
struct RegionFileList {
  std::vector<std::string> names;  // as found, in the viewer's order; empty when `problem` is set
  std::string problem;             // the system's reason, or "no region files (RGN*.GFF)"
};

RegionFileList RegionFilesIn(const std::string& folder);

// The path of `folder`'s object library; where the viewer would look for it (folder/OBJEX.GFF)
// when there is none, so that a message can name it.
std::string ObjectLibraryIn(const std::string& folder);

// The object library in the folder of the file `file` (a region, as a rule); empty when there
// is none.
std::string LibraryBeside(const std::string& file);

}  // namespace karst::tools
