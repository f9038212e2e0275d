// The name every message of karst-gff begins with, the program's own: no other program links its files.
#pragma once

namespace karst::tools {

inline constexpr const char* kTool = "karst-gff";

}  // namespace karst::tools
