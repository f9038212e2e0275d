// Formatted text for the debug channel. Only the text is made here; whoever prints the viewer's
// lines sends it to the channel (standard error here, the debugger output elsewhere).
//
// Formats like printf into a buffer of 1024 bytes, the terminating zero included, and gives the
// text exactly as formatted, without a line end of its own. A '%' directly followed by a letter
// that printf has no conversion for (as in "%Y offset: %u is different!\n") stands for that
// letter alone and takes no argument.
#pragma once

#include <string>

namespace karst {

inline constexpr int kDebugPrintfBufferSize = 1024;

std::string DebugPrintf(const char* format, ...);

}  // namespace karst
