#include "tools/common/unique_names.h"

#include <algorithm>
#include <cctype>

namespace karst::tools {
namespace {

// Letters folded as the game's platform folds file names: ASCII only.
std::string Folded(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return name;
}

}  // namespace

std::string UniqueNames::Claim(const std::string& name) {
  std::string candidate = name;
  for (int suffix = 2; !taken_.insert(Folded(candidate)).second; ++suffix) {
    candidate = name + "-" + std::to_string(suffix);
  }
  return candidate;
}

}  // namespace karst::tools
