// Machine output that is always valid: JSON text in plain ASCII, whatever bytes the game's files
// or the user's file names hold.
//
// Game data (tags, region names) is single-byte text of no known code page. ByteText turns each of
// its bytes into the character of the same value (U+0000 to U+00FF), so no byte is lost and the
// value stays valid Unicode. JsonText then writes every character outside printable ASCII as a
// \uXXXX escape (a pair of them beyond U+FFFF); a byte that is not part of valid UTF-8 in a string
// (a file name from a foreign system) is written as U+FFFD.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

namespace karst::tools {

// Each byte as the character of its value, encoded in UTF-8.
std::string ByteText(std::string_view bytes);

// The code point of the UTF-8 sequence that starts at `text[at]`, and its length in bytes; nothing
// when the bytes there are no valid sequence (overlong forms and surrogates included).
std::optional<std::pair<std::uint32_t, std::size_t>> DecodeUtf8(std::string_view text, std::size_t at);

// Every byte as two lower-case hex digits, in order: "47464649" for "GFFI".
std::string HexText(std::string_view bytes);

// How JsonText lays its text out.
enum class JsonLayout {
  kCompact,
  // As Tiled 1.8 saves a map or tileset: members on lines of their own, arrays on one line, '/'
  // written as "\/", so that a file Tiled saves again without a change keeps its bytes.
  kTiled,
};

// JSON text of `value`, printable ASCII only, members in key order.
std::string JsonText(const nlohmann::json& value, JsonLayout layout = JsonLayout::kCompact);

// The JSON value of `text`, which may hold control characters raw inside its strings (Tiled
// writes them so). Nothing, with the parser's reason in `error`, when it is not JSON.
std::optional<nlohmann::json> ParseJsonText(std::string_view text, std::string& error);

}  // namespace karst::tools
