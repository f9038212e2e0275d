// What the POSIX and the Windows directory searches share: where a search string splits into
// folder and pattern, and the order of the names found.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace karst::platform {

// The index of the last separator ('/', or the platform's own) in "directory/pattern"; npos
// when there is none.
std::size_t LastSeparator(std::string_view searchString);

// The names of one listing of a folder that match `pattern`, sorted as FindFiles returns them.
std::vector<std::string> SortedMatches(std::string_view pattern, std::vector<std::string> names);

}  // namespace karst::platform
