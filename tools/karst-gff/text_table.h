// Text tables for the terminal: cells in columns two blanks apart, each column as wide as its
// widest cell, so rows of any length line up under their header.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace karst::tools {

// Numbers are aligned to the right of their column, text to the left.
enum class Align { kLeft, kRight };

// The rows (the header first), one line each. A row has one cell per entry of `columns`; the last
// column is not padded, so no line ends in blanks. A shorter row's last cell runs on across the
// columns after it, unpadded, and widens none of them.
std::string AlignedTable(std::span<const Align> columns, const std::vector<std::vector<std::string>>& rows);

}  // namespace karst::tools
