#include "tools/karst-gff/text_table.h"

#include <algorithm>
#include <cstddef>

namespace karst::tools {

std::string AlignedTable(std::span<const Align> columns, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(columns.size(), 0);
  for (const std::vector<std::string>& row : rows) {
    for (std::size_t column = 0; column < std::min(row.size(), columns.size()); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    const std::size_t cells = std::min(row.size(), columns.size());
    for (std::size_t column = 0; column < cells; ++column) {
      const std::string& cell = row[column];
      const std::size_t padding = widths[column] - cell.size();
      const bool last = column + 1 == cells;
      if (column > 0) {
        text += "  ";
      }
      if (columns[column] == Align::kRight) {
        text.append(padding, ' ');
        text += cell;
      } else {
        text += cell;
        if (!last) {
          text.append(padding, ' ');
        }
      }
    }
    text += '\n';
  }
  return text;
}

}  // namespace karst::tools
