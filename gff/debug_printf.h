// Formatted text for the debug channel (standard error here, the debugger output elsewhere).
//
// Formats like printf into a buffer of 1024 bytes, the terminating zero included, and sends the
// text exactly as formatted, without a line end of its own. A '%' directly followed by a letter
// that printf has no conversion for (as in "%Y offset: %u is different!\n") stands for that
// letter alone and takes no argument.
#pragma once

namespace karst {

inline constexpr int kDebugPrintfBufferSize = 1024;

void DebugPrintf(const char* format, ...);

}  // namespace karst
