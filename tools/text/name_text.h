// Region names as people read, type and edit them. A name (like every other text of the game's
// files: tags, an unknown encoding's marker) is single bytes, Latin-1 as the game's own system
// reads them. Here they become text and back: shown on a terminal in the output's own encoding,
// taken from the UTF-8 of name.txt or a Tiled map, and matched against what was typed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/terminal.h"

namespace karst::tools {

// The bytes of a name whose UTF-8 text is `text`: each character U+0001 to U+00FF as the byte of
// its value. Nothing, with why in `problem`, for bytes that are no UTF-8 (the first one named),
// a character beyond U+00FF (named by its code point), or a zero character, which would end the
// name.
std::optional<std::vector<std::uint8_t>> Latin1Of(std::span<const std::uint8_t> text, std::string& problem);

// The name that name.txt holds: UTF-8 text, a byte-order mark before it dropped and one line end
// (LF or CR LF) after it not part of it. Nothing, with why in `problem`, as Latin1Of says; bytes
// that are no UTF-8 are named by their place in the file, with the remedy.
std::optional<std::vector<std::uint8_t>> NameOfTextFile(std::span<const std::uint8_t> file, std::string& problem);

// Text for a terminal of the game's bytes `latin1`: printable ASCII as it is, the printable
// characters U+00A0 to U+00FF as `glyphs` shows them, and every other byte as \xXX (control bytes,
// what the encoding cannot show), so no byte of a file reaches the terminal raw.
std::string ShownText(std::string_view latin1, const platform::Latin1Glyphs& glyphs);
// The same in this process's output encoding, asked of the system once.
std::string ShownText(std::string_view latin1);

// Text for a terminal of bytes in no known encoding (a file name read from a folder): printable
// ASCII as it is, every other byte as \xXX.
std::string EscapedText(std::string_view bytes);

// Whether the name `latin1` holds `part`, also Latin-1, letters (A-Z and the accented ones of
// U+00C0 to U+00DE) compared without regard to case.
bool HoldsIgnoringCase(std::string_view latin1, std::string_view part);

}  // namespace karst::tools
