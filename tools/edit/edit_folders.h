// Where the live edit loop keeps the edit folder of a game file: one folder per game file, under
// the user's data folder (platform::DataFolder()/karst/edits/), never inside the game folder.
//
// The folder's name is the game folder's name and a short hash of its absolute path (links
// resolved), then the game file's name in lower case, as the game finds its files without regard
// to case, its dots as dashes: "edits/game-1a2b3c4d/rgn01-gff". Two game folders of one name never share a folder, and
// two spellings of one file always do.
#pragma once

#include <string>

namespace karst::tools {

// The edit folder of `gameFile`; empty when the system names no data folder, or when that lies
// inside the game file's folder (edits would then be taken for game files).
std::string EditFolderFor(const std::string& gameFile);

}  // namespace karst::tools
