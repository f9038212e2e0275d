// What a path given to the workbench opens: a game folder, or a file in one (a region, the object
// library, or any other container), found as the viewer and the tools find them; and the sample
// world, written once into the user's data folder for a machine without a game.
#pragma once

#include <string>
#include <vector>

namespace karst::workbench {

enum class OpenedKind { kRegion, kLibrary, kOtherContainer, kFolder };

struct OpenedPath {
  std::string folder;    // the game folder shown
  std::string selected;  // the file given, when a file was given, as its folder spells it
  OpenedKind kind = OpenedKind::kFolder;
  std::vector<std::string> regionFiles;  // full paths, in the viewer's order (RegionFilesIn)
  std::string library;                   // the folder's OBJEX.GFF, found without regard to case; empty: none
  // A line about what the folder lacks that is no failure: "no region files (RGN*.GFF) in FOLDER".
  std::string note;
  std::string problem;  // why nothing can be shown, naming the path; the rest is then empty
};

// A folder opens itself. A file opens its folder with the file selected: an object library (by
// its directory) as kLibrary, a file named like a region (RGN*.GFF) as kRegion whatever it holds
// (so one the viewer would refuse is listed with why), anything else as kOtherContainer. A name
// that is not there as spelled is looked for in its folder without regard to case.
OpenedPath OpenPath(const std::string& path);

// The lines `karst-gff info` gives for the file: its directory listing, after the viewer's lines
// for what opening it met and the warnings about a directory cut short; or why it has none.
std::vector<std::string> ChunkLines(const std::string& path);

// <data folder>/karst/sample-world; empty when the system names no data folder.
std::string SampleWorldFolder();

// Writes the sample world's files into SampleWorldFolder() that are not there yet; files already
// there, edited or not, are kept. Empty on success, else the reason, naming the file.
std::string EnsureSampleWorld();

// The same into `folder`: what EnsureSampleWorld does, for any folder.
std::string EnsureSampleWorldIn(const std::string& folder);

}  // namespace karst::workbench
