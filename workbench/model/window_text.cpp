#include "workbench/model/window_text.h"

#include "platform/terminal.h"
#include "tools/text/name_text.h"

namespace karst::workbench {
namespace {

// U+00A0 to U+00FF in UTF-8: two bytes each.
platform::Latin1Glyphs Utf8Glyphs() {
  platform::Latin1Glyphs glyphs;
  for (unsigned code = 0xA0; code <= 0xFF; ++code) {
    glyphs[code - 0xA0] = {static_cast<char>(0xC0 | (code >> 6)), static_cast<char>(0x80 | (code & 0x3F))};
  }
  return glyphs;
}

}  // namespace

std::string WindowText(std::string_view latin1) {
  static const platform::Latin1Glyphs glyphs = Utf8Glyphs();
  return tools::ShownText(latin1, glyphs);
}

}  // namespace karst::workbench
