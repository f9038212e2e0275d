// What a console tool needs to know of the terminal it talks to: whether standard error goes to
// one, so a tool can draw a progress bar there and write plain lines into files and pipes; which
// characters beyond ASCII its output's encoding can show; and in which encoding its command line
// arrives. On POSIX the encoding is the locale's (LC_ALL, LC_CTYPE, LANG); on Windows the output
// is in the console's code page and the command line is UTF-8 (BeginConsoleTool reads it so).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace karst::platform {

bool StandardErrorIsTerminal();

// For each character U+00A0 to U+00FF (entry 0 is U+00A0), the bytes that show it in the encoding
// of the tool's standard output and standard error; empty where that encoding has no such
// character (the C locale's ASCII has none). Asked of the system on every call.
using Latin1Glyphs = std::array<std::string, 96>;
Latin1Glyphs OutputLatin1Glyphs();

// A word of the command line as UTF-8. Nothing when it is no text in the encoding it arrives in.
// Where the locale is the C locale's plain ASCII, the word is taken as UTF-8: that is what a
// terminal sends today, and ASCII is part of it.
std::optional<std::string> CommandLineWordAsUtf8(std::string_view word);

}  // namespace karst::platform
