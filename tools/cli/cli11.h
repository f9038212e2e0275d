// CLI11, the command-line parser, for every file that parses a command line.
//
// mingw-w64's GCC 12 at -O2 warns of a null dereference inside std::string, inlined into
// CLI::detail::split (the splitting of an option that takes several values), where there is
// none: the warning is off for CLI11's own code, which is read here first.
#pragma once

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnull-dereference"
#endif
#include <CLI/CLI.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
