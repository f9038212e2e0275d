// Where the font of the screen's text comes from: the system's sans-serif font file on POSIX
// (through fontconfig); on Windows DejaVu Sans, carried inside the program, so that the program
// shows its text wherever it is copied.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace karst::platform {

// A font as SDL_ttf reads it: a file, or bytes in memory that live as long as the program.
struct FontSource {
  std::string path;  // as SDL takes it (UTF-8); empty for bytes
  std::span<const std::uint8_t> bytes;

  bool empty() const { return path.empty() && bytes.empty(); }
};

// The sans-serif font; empty when there is none.
FontSource FindSansSerifFont();

}  // namespace karst::platform
