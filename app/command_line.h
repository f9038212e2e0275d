// The viewer's command line and what it makes of it, apart from any screen:
//
//   karst-viewer [GAMEDIR | REGIONFILE] [--window [--scale N]] [--sample-world]
//   karst-viewer --help | --version
//
// Without arguments the viewer is the program as it always was: the folder of its own file,
// the first region, the whole screen. Everything here is plain data and text, so the rules can
// be tested without starting the viewer.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace karst {

inline constexpr int kSmallestWindowScale = 1;
inline constexpr int kLargestWindowScale = 8;

// What the command line asks of the viewer.
struct ViewerOptions {
  // GAMEDIR or REGIONFILE as given.
  std::optional<std::string> path;
  // A normal window of 640 scale x 480 scale instead of the whole screen.
  bool window = false;
  // 1 to 8; nothing: the largest whose window fits the desktop.
  std::optional<int> scale;
  // Without a path: the sample world installed beside the program instead of its own folder.
  bool sampleWorld = false;
};

enum class CommandLineAction {
  kRun,         // start the viewer with `options`
  kHelp,        // print ViewerHelp() on standard output, exit 0
  kVersion,     // print ViewerVersion() on standard output, exit 0
  kUsageError,  // print `error` and ViewerUsage() on standard error, exit 2
};

struct ParsedCommandLine {
  CommandLineAction action = CommandLineAction::kRun;
  ViewerOptions options;
  std::string error;  // for kUsageError: what was wrong, one line without its line feed
};

// Reads the arguments after the program's name. "--scale N" and "--scale=N" are the same;
// "--" ends the options, so a path may begin with "-". --help (or -h) anywhere before "--"
// asks for the help whatever else is there, then --version likewise.
ParsedCommandLine ParseViewerCommandLine(std::span<const std::string_view> arguments);

// The usage line(s), ending in a line feed.
std::string ViewerUsage();
// The full help: usage, options, keys, what the viewer never does to files, examples.
std::string ViewerHelp();
// "karst-viewer VERSION" and a line feed.
std::string ViewerVersion();

// The largest scale (1 to 8) whose window, 640 scale x 480 scale, fits `width` x `height`;
// 1 when none does.
int WindowScaleFor(int width, int height);

// The line on standard error for a --scale whose window does not fit the desktop's free area of
// `width` x `height`, and the scale taken instead.
std::string WindowScaleReducedLine(int asked, int taken, int width, int height);

// Where the viewer looks for its data and which region it shows first.
struct StartPoint {
  // The folder searched for region files and the object library, ending in a separator.
  std::string folder;
  // The file name of the region to show first; empty: the first of the list.
  std::string firstRegion;
  // The path named a GFF file that is not there, in any case: nothing is shown.
  bool missingFile = false;
};

// The start point for a path given on the command line: a folder is searched itself; any other
// file that exists, its folder, starting at that file. A file named like a GFF file (*.GFF) is
// found in its folder without regard to case, as the folder's region files are, and the start
// names it as the folder spells it; when there is none, in any case, it is a missing file. Any
// other path that does not exist is searched as a folder (and holds no region files).
StartPoint StartPointFor(const std::string& path);

// The folder the sample world is installed in, for the program in `programFolder`:
// PREFIX/share/karst-viewer/sample-world/ beside PREFIX/bin/, ending in a separator.
std::string SampleWorldFolder(const std::string& programFolder);

// The line on standard error for a folder, named on the command line, that held no region
// files: which folder was searched and, where it could not be read, why.
std::string NoRegionFilesLine(const std::string& folder);

// The line on standard error for a GFF file named on the command line that is not there.
std::string MissingFileLine(const std::string& path);

// The line on standard error for a folder, named on the command line, without an object library.
std::string NoObjectLibraryLine(const std::string& folder);

// The line on standard error for a file the viewer cannot use: "karst-viewer: FILE: problem".
std::string FileProblemLine(const std::string& file, const std::string& problem);

}  // namespace karst
