#include <fontconfig/fontconfig.h>

#include <memory>

#include "platform/font_file.h"

namespace karst::platform {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

std::string MatchSansSerif() {
  PatternPtr pattern(FcPatternCreate());
  if (pattern == nullptr ||
      !FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif")) ||
      !FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) {
    return {};
  }
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  const PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* file = nullptr;
  if (match == nullptr || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch) {
    return {};
  }
  return reinterpret_cast<const char*>(file);
}

}  // namespace

FontSource FindSansSerifFont() {
  FontSource font{MatchSansSerif(), {}};
  // Fontconfig keeps its configuration until told to let go; the one answer is all we need.
  FcFini();
  return font;
}

}  // namespace karst::platform
