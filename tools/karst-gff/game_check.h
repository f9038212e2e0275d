// What `karst-gff check` looks for: everything in a region file or the object library that would
// keep the viewer from loading a region or from drawing it as its data means it.
//
// The checks read a file the way the viewer's loaders do (same chunks, same order, one stream
// whose failure passes the rest of the file over) and then look at what the loaders built. The
// decoders' diagnostics are caught per frame and reported with the chunk and frame they came from.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/object_library.h"

namespace karst::tools {

// One problem: the file, the place in it ("TILE 9 frame 0", "MAP 0"; empty for the whole file)
// and what is wrong, with its consequence.
struct Finding {
  std::string file;
  std::string where;
  std::string message;
};

// "file: where: message", or "file: message" without a place.
std::string FindingText(const Finding& finding);

struct LibraryCheck {
  std::vector<Finding> findings;
  // What the viewer would hold after loading; null when the file is missing or no container.
  std::unique_ptr<ObjectLibrary> library;
  // The viewer's start-up would get past the library: it is a container with a "BMP " frame set.
  bool loads = false;
};

struct RegionCheck {
  std::vector<Finding> findings;
  // The viewer's region switch would succeed.
  bool loads = false;
};

// Checks an object library file.
LibraryCheck CheckLibrary(const std::string& path);

// Checks a region file; its entities are checked against `library` when one is given.
RegionCheck CheckRegion(const std::string& path, const ObjectLibrary* library);

}  // namespace karst::tools
