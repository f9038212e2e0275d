// Reading a tool's input file, and saying why it cannot be read (InputProblem, from
// data/file_problems.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/file_problems.h"
#include "data/object_library.h"
#include "data/region.h"
#include "gff/load_report.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

// True when the container at `path` reads as an object library rather than a region (its
// directory has library records and no region ones); false when it cannot be opened. Whatever
// the reader would print is kept quiet: callers ask only to explain a failure.
bool LooksLikeLibraryFile(const std::string& path);

// The file's bytes; nothing when it cannot be opened or read (a directory included).
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

// Reads a region file as the viewer's region switch takes it, its notes going to `report`. Null,
// with the problem in `problem`, when the file cannot be read (kUnreadable), is no container
// (kNotContainer), or would be turned away (kWouldNotLoad: "no PAL chunk: the region would not
// load", in data/file_problems.h's words; an object library is named as such).
std::unique_ptr<Region> ReadRegionInput(const std::string& path, const LoadReport& report, JobProblem& problem);
// The same with the problem's words alone.
std::unique_ptr<Region> ReadRegionInput(const std::string& path, const LoadReport& report, std::string& error);

// Reads an object library as the picture tools draw with it, its notes going to `report`. Null,
// with the problem in `problem`, when the file cannot be read, is no container, or has no "BMP "
// frame set: the viewer would not start with it, and the pictures are drawn without objects.
std::unique_ptr<ObjectLibrary> ReadLibraryInput(const std::string& path, const LoadReport& report, JobProblem& problem);
std::unique_ptr<ObjectLibrary> ReadLibraryInput(const std::string& path, const LoadReport& report, std::string& error);

}  // namespace karst::tools
