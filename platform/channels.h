// The two text channels on which the viewer prints the oddities in its data.
//
// The output line channel is the process's standard output: the text, a line feed, a flush.
// The debug channel stands in for the debugger output: standard error, the text exactly as
// given, no line end added.
#pragma once

#include <string_view>

namespace karst::platform {

void WriteOutputLine(std::string_view text);
void WriteDebugText(std::string_view text);

}  // namespace karst::platform
