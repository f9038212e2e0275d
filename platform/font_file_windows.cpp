#include <cstdint>

#include "platform/font_file.h"

// DejaVu Sans, taken into the program whole by the assembler at build time (KARST_FONT_FILE names
// the file): the program needs no font beside it, wherever it is copied.
asm(".section .rdata,\"dr\"\n"
    ".globl karst_sans_serif_font\n"
    "karst_sans_serif_font:\n"
    ".incbin \"" KARST_FONT_FILE
    "\"\n"
    ".globl karst_sans_serif_font_end\n"
    "karst_sans_serif_font_end:\n"
    ".text\n");

extern "C" const std::uint8_t karst_sans_serif_font[];
extern "C" const std::uint8_t karst_sans_serif_font_end[];

namespace karst::platform {

FontSource FindSansSerifFont() {
  return FontSource{{}, std::span<const std::uint8_t>(karst_sans_serif_font, karst_sans_serif_font_end)};
}

}  // namespace karst::platform
