#include "tools/text/name_text.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

std::string_view Chars(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The place of the first byte of `text` that starts no valid UTF-8 sequence.
std::optional<std::size_t> FirstNonUtf8Byte(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto decoded = DecodeUtf8(text, at);
    if (!decoded) {
      return at;
    }
    at += decoded->second;
  }
  return std::nullopt;
}

std::string ByteLabel(std::size_t place, std::uint8_t byte) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned>(byte));
  return "byte " + std::to_string(place) + " (" + hex + ")";
}

std::string CodePointLabel(std::uint32_t codePoint) {
  char label[12];
  std::snprintf(label, sizeof label, "U+%04X", static_cast<unsigned>(codePoint));
  return label;
}

// A line end's bytes, which an editor adds when it saves.
std::span<const std::uint8_t> WithoutLineEnd(std::span<const std::uint8_t> text) {
  if (!text.empty() && text.back() == '\n') {
    text = text.first(text.size() - 1);
    if (!text.empty() && text.back() == '\r') {
      text = text.first(text.size() - 1);
    }
  }
  return text;
}

// The lower-case twin of a Latin-1 letter; every other byte is its own. The multiplication sign
// (U+00D7) sits among the capitals and is none; ß and ÿ have no capital in Latin-1.
unsigned char Folded(char c) {
  const auto byte = static_cast<unsigned char>(c);
  const bool capital = (byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7);
  return capital ? static_cast<unsigned char>(byte + 0x20) : byte;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> Latin1Of(std::span<const std::uint8_t> text, std::string& problem) {
  const std::string_view chars = Chars(text);
  if (const std::optional<std::size_t> bad = FirstNonUtf8Byte(chars)) {
    problem = ByteLabel(*bad, text[*bad]) + " is not UTF-8";
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t at = 0; at < chars.size();) {
    const auto [character, length] = *DecodeUtf8(chars, at);
    if (character > 0xFF) {
      problem = "the character " + CodePointLabel(character) +
                " is outside Latin-1 (U+0000 to U+00FF), which a region's name cannot hold";
      return std::nullopt;
    }
    if (character == 0) {
      problem = "a zero character (U+0000) would end the name";
      return std::nullopt;
    }
    bytes.push_back(static_cast<std::uint8_t>(character));
    at += length;
  }
  return bytes;
}

std::optional<std::vector<std::uint8_t>> NameOfTextFile(std::span<const std::uint8_t> file, std::string& problem) {
  constexpr std::array<std::uint8_t, 3> kByteOrderMark = {0xEF, 0xBB, 0xBF};
  const std::size_t start =
      file.size() >= kByteOrderMark.size() && std::equal(kByteOrderMark.begin(), kByteOrderMark.end(), file.begin())
          ? kByteOrderMark.size()
          : 0;
  const std::span<const std::uint8_t> text = WithoutLineEnd(file.subspan(start));
  if (const std::optional<std::size_t> bad = FirstNonUtf8Byte(Chars(text))) {
    problem = ByteLabel(start + *bad, text[*bad]) + " is not UTF-8: save the file as UTF-8";
    return std::nullopt;
  }
  return Latin1Of(text, problem);
}

std::string ShownText(std::string_view latin1, const platform::Latin1Glyphs& glyphs) {
  std::string text;
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    // The soft hyphen (U+00AD) is printable but shows nothing: a name would hide one of its bytes.
    const std::string* glyph = byte >= 0xA0 && byte != 0xAD ? &glyphs[byte - 0xA0] : nullptr;
    if (byte >= 0x20 && byte < 0x7F) {
      text.push_back(c);
    } else if (glyph != nullptr && !glyph->empty()) {
      text += *glyph;
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
      text += escape;
    }
  }
  return text;
}

std::string ShownText(std::string_view latin1) {
  static const platform::Latin1Glyphs glyphs = platform::OutputLatin1Glyphs();
  return ShownText(latin1, glyphs);
}

std::string EscapedText(std::string_view bytes) { return ShownText(bytes, platform::Latin1Glyphs{}); }

bool HoldsIgnoringCase(std::string_view latin1, std::string_view part) {
  for (std::size_t at = 0; at + part.size() <= latin1.size(); ++at) {
    std::size_t i = 0;
    while (i < part.size() && Folded(latin1[at + i]) == Folded(part[i])) {
      ++i;
    }
    if (i == part.size()) {
      return true;
    }
  }
  return false;
}

}  // namespace karst::tools
