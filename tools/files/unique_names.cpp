#include "tools/files/unique_names.h"

#include <algorithm>

namespace karst::tools {

std::string FoldCase(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return name;
}

std::string UniqueNames::Claim(const std::string& name) {
  std::string candidate = name;
  for (int suffix = 2; !taken_.insert(FoldCase(candidate)).second; ++suffix) {
    candidate = name + "-" + std::to_string(suffix);
  }
  return candidate;
}

}  // namespace karst::tools
