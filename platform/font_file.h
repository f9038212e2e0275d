// Where the font of the screen's text lies: the system's sans-serif font on POSIX (through
// fontconfig), the DejaVuSans.ttf shipped beside the program on Windows.
#pragma once

#include <string>

namespace karst::platform {

// The font file's path as SDL takes it (UTF-8), or empty when there is none.
std::string FindSansSerifFont();

}  // namespace karst::platform
