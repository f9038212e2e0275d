#include "app/command_line.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "app/region_files.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace karst {
namespace {

constexpr char kProgramName[] = "karst-viewer";
// Names a file the command line may name as a region to start at.
constexpr std::string_view kGffFilePattern = "*.GFF";
constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

bool IsOption(std::string_view argument) { return argument.size() > 1 && argument.front() == '-'; }

// A whole number from 1 to 8, digits only.
std::optional<int> ParseScale(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size() || text.empty() || value < kSmallestWindowScale ||
      value > kLargestWindowScale) {
    return std::nullopt;
  }
  return value;
}

std::string WithSeparator(std::string folder) {
  if (folder.empty() || !platform::IsPathSeparator(folder.back())) {
    folder.push_back(platform::kPathSeparator);
  }
  return folder;
}

// A path as the viewer's lines print it: on Windows with one kind of separator.
std::string Shown(const std::string& path) { return platform::PathText(platform::NativePath(path)); }

ParsedCommandLine UsageError(std::string error) {
  ParsedCommandLine parsed;
  parsed.action = CommandLineAction::kUsageError;
  parsed.error = std::move(error);
  return parsed;
}

}  // namespace

ParsedCommandLine ParseViewerCommandLine(std::span<const std::string_view> arguments) {
  bool help = false;
  bool version = false;
  for (const std::string_view argument : arguments) {
    if (argument == "--") break;
    help = help || argument == "--help" || argument == "-h";
    version = version || argument == "--version";
  }
  ParsedCommandLine parsed;
  if (help || version) {
    parsed.action = help ? CommandLineAction::kHelp : CommandLineAction::kVersion;
    return parsed;
  }

  ViewerOptions& options = parsed.options;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view argument = arguments[i];
    if (!optionsEnded && argument == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && argument == "--window") {
      options.window = true;
    } else if (!optionsEnded && argument == "--sample-world") {
      options.sampleWorld = true;
    } else if (!optionsEnded && (argument == "--scale" || argument.starts_with("--scale="))) {
      std::string_view value;
      if (argument == "--scale") {
        if (i + 1 == arguments.size()) {
          return UsageError("--scale needs a number from 1 to 8");
        }
        value = arguments[++i];
      } else {
        value = argument.substr(std::string_view("--scale=").size());
      }
      options.scale = ParseScale(value);
      if (!options.scale) {
        return UsageError("--scale: \"" + std::string(value) + "\" is not a whole number from 1 to 8");
      }
    } else if (!optionsEnded && IsOption(argument)) {
      return UsageError("unknown option \"" + std::string(argument) + "\"");
    } else if (argument.empty()) {
      return UsageError("an empty GAMEDIR or REGIONFILE names no folder");
    } else if (options.path) {
      return UsageError("one GAMEDIR or REGIONFILE only, not also \"" + std::string(argument) + "\"");
    } else {
      options.path = std::string(argument);
    }
  }
  if (options.scale && !options.window) {
    return UsageError("--scale sizes the window: it needs --window");
  }
  return parsed;
}

std::string ViewerUsage() {
  return "Usage: karst-viewer [GAMEDIR | REGIONFILE] [--window [--scale N]] [--sample-world]\n"
         "  or:  karst-viewer --help | --version\n";
}

std::string ViewerHelp() {
  return ViewerUsage() +
         "\n"
         "Show the region maps of a game folder, 640 x 480 pixels at a time: its region files\n"
         "(RGN*.GFF) with the objects of its object library (OBJEX.GFF), names matched without\n"
         "regard to case. With GAMEDIR, the regions of that folder from the first; with\n"
         "REGIONFILE, the regions of its folder from that file. Without either, the folder of the\n"
         "program's own file. The viewer takes the whole screen unless --window is given.\n"
         "\n"
         "Options:\n"
         "  --window        show the viewer in a normal window of 640N x 480N pixels that can\n"
         "                  be moved, resized and closed, instead of the whole screen\n"
         "  --scale N       the window's scale N, 1 to 8 (default, and at most: the largest that\n"
         "                  fits the desktop); needs --window\n"
         "  --sample-world  without GAMEDIR or REGIONFILE, show the sample world installed with\n"
         "                  the viewer (PREFIX/share/karst-viewer/sample-world)\n"
         "  -h, --help      print this help and exit\n"
         "  --version       print the version and exit\n"
         "\n"
         "Keys:\n"
         "  Space             the next region file (nothing at the last one)\n"
         "  Backspace         the previous region file (nothing at the first one)\n"
         "  arrow keys        scroll the view by 16 pixels\n"
         "  mouse at an edge  scroll by 10 pixels a frame while the viewer has the focus\n"
         "                    (in a window: while the mouse is inside it)\n"
         "  Escape            quit (so does a window's close button)\n"
         "\n"
         "The viewer only reads: it never writes, moves, renames or deletes a file, in the game\n"
         "folder or anywhere else, and keeps no settings. A folder without region files, or one\n"
         "that cannot be read, is named on standard error with the message \"Unable to find\n"
         "region files!\"; so is a REGIONFILE that is not there, in any case. An object library\n"
         "or region that cannot be used is named on standard error with the reason, in the\n"
         "words of \"karst-gff check\", besides its message. The exit status is 0 whenever the\n"
         "viewer ran, 2 for a bad command line.\n"
         "\n"
         "Examples:\n"
         "  karst-viewer ~/game                  the first region of ~/game, full screen\n"
         "  karst-viewer ~/game/RGN03.GFF        start at RGN03.GFF; Backspace goes to the one before\n"
         "  karst-viewer --window ~/game         in a window as large as the desktop allows\n"
         "  karst-viewer --window --scale 1 .    in a 640 x 480 window, the current folder\n";
}

std::string ViewerVersion() { return std::string(kProgramName) + " " + KARST_VERSION + "\n"; }

int WindowScaleFor(int width, int height) {
  for (int scale = kLargestWindowScale; scale > kSmallestWindowScale; --scale) {
    if (kPictureWidth * scale <= width && kPictureHeight * scale <= height) {
      return scale;
    }
  }
  return kSmallestWindowScale;
}

std::string WindowScaleReducedLine(int asked, int taken, int width, int height) {
  const auto size = [](int w, int h) { return std::to_string(w) + " x " + std::to_string(h); };
  return std::string(kProgramName) + ": --scale " + std::to_string(asked) + ": a " +
         size(kPictureWidth * asked, kPictureHeight * asked) + " window does not fit the screen (" +
         size(width, height) + " free): scale " + std::to_string(taken) + " instead\n";
}

StartPoint StartPointFor(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(platform::NativePath(path), error);
  if (std::filesystem::is_directory(status)) {
    return StartPoint{WithSeparator(path), {}};
  }
  const bool exists = std::filesystem::exists(status);
  const std::string folder = DirectoryOf(path).value_or(std::string());
  // A bare file name lies in the current folder.
  StartPoint point = folder == path ? StartPoint{std::string(".") + platform::kPathSeparator, path}
                                    : StartPoint{folder, path.substr(folder.size())};
  if (!platform::WildcardMatch(kGffFilePattern, point.firstRegion)) {
    return exists ? point : StartPoint{WithSeparator(path), {}};
  }
  // Found as the folder's region files are found, without regard to case, and named as the
  // folder spells it, so the region list has it.
  const std::string found = platform::LocateFile(point.folder, point.firstRegion);
  if (found.empty()) {
    point.missingFile = !exists;
    return point;
  }
  point.firstRegion = found.substr(DirectoryOf(found).value_or(std::string()).size());
  return point;
}

std::string SampleWorldFolder(const std::string& programFolder) {
  // The program's folder comes resolved, without links, so ".." may be taken away by name.
  const std::filesystem::path folder =
      platform::NativePath(WithSeparator(programFolder)) / ".." / "share" / "karst-viewer" / "sample-world" / "";
  return platform::PathText(folder.lexically_normal());
}

std::string NoRegionFilesLine(const std::string& folder) {
  std::string line = std::string(kProgramName) + ": no region files (RGN*.GFF) in " + Shown(folder);
  std::error_code error;
  std::filesystem::directory_iterator listing(platform::NativePath(folder), error);
  if (error) {
    line += ": " + error.message();
  }
  return line + "\n";
}

std::string MissingFileLine(const std::string& path) {
  return std::string(kProgramName) + ": " + Shown(path) + ": no such file (names matched without regard to case)\n";
}

std::string NoObjectLibraryLine(const std::string& folder) {
  return std::string(kProgramName) + ": no object library (" + kObjectLibraryFileName + ") in " + Shown(folder) + "\n";
}

std::string FileProblemLine(const std::string& file, const std::string& problem) {
  // The region list joins the folder and the name with a separator of its own; the line names the
  // file as a user would.
  const std::string name = platform::PathText(platform::NativePath(file).lexically_normal());
  return std::string(kProgramName) + ": " + name + ": " + problem + "\n";
}

}  // namespace karst
