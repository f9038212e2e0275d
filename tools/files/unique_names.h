// Output names made unique without regard to case, so that no two outputs of a run are the same
// file, on file systems that ignore case too: the first of equal names keeps it, the later ones
// get "-2", "-3", ... (the first of those not yet taken).
#pragma once

#include <set>
#include <string>

namespace karst::tools {

// `name` with its ASCII letters in lower case, as the game's platform compares file names.
std::string FoldCase(std::string name);

class UniqueNames {
 public:
  // `name` when no name equal to it without regard to case was claimed before; else the first
  // free one of name-2, name-3, ...
  std::string Claim(const std::string& name);

 private:
  std::set<std::string> taken_;  // in lower case
};

}  // namespace karst::tools
