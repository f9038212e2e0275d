// The two text channels on which the viewer prints the oddities in its data.
//
// The output line channel is the process's standard output: the text, a line feed, a flush.
// The debug channel is the debugger output on Windows (and standard error too where the process
// has one: a console, or a redirection); elsewhere it stands in for it with standard error.
// Either way the text goes exactly as given, no line end added.
#pragma once

#include <string_view>

namespace karst::platform {

void WriteOutputLine(std::string_view text);
void WriteDebugText(std::string_view text);

}  // namespace karst::platform
