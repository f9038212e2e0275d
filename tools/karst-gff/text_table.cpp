#include "tools/karst-gff/text_table.h"

#include <algorithm>
#include <cstddef>

namespace karst::tools {

std::string AlignedTable(std::span<const Align> columns, const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(columns.size(), 0);
  for (const std::vector<std::string>& row : rows) {
    // A short row's last cell runs on across the columns after it and widens none of them.
    const std::size_t measured =
        row.size() < columns.size() ? std::max<std::size_t>(row.size(), 1) - 1 : columns.size();
    for (std::size_t column = 0; column < measured; ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  std::string text;
  for (const std::vector<std::string>& row : rows) {
    const std::size_t cells = std::min(row.size(), columns.size());
    for (std::size_t column = 0; column < cells; ++column) {
      const std::string& cell = row[column];
      const bool last = column + 1 == cells;
      const std::size_t padding = last && cells < columns.size() ? 0 : widths[column] - cell.size();
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
