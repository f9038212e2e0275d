// Text of the game's files (single bytes, Latin-1 as the game's own system reads them) as the
// window shows it: UTF-8, the one encoding Dear ImGui draws.
#pragma once

#include <string>
#include <string_view>

namespace karst::workbench {

// Printable characters as they are (U+00A0 to U+00FF as their UTF-8), every other byte as \xXX,
// as the tools show names.
std::string WindowText(std::string_view latin1);

}  // namespace karst::workbench
