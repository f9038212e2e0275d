// Where the tests find the programs and files of the tree they were built in. Found at run time
// from the test program's own place (test programs in <build>/tests, programs in <build>/bin),
// never compiled in: a path in the compile command would differ between clones and keep the
// compiler cache from serving them all.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace karst::testing {

// The path of one of our programs of this build, "karst-render" giving <build>/bin/karst-render
// (".exe" added on Windows).
std::string BuiltProgram(std::string_view name);

// The path of `relative` in the clone the tests were built from, read from the file the build
// writes beside the test programs.
std::filesystem::path SourcePath(std::string_view relative);

}  // namespace karst::testing
