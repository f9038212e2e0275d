#include "tools/text/json_text.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace karst::tools {
namespace {

bool Printable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

void AppendUtf8(std::string& text, std::uint32_t codePoint) {
  if (codePoint < 0x80) {
    text.push_back(static_cast<char>(codePoint));
  } else {
    text.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    text.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

void AppendEscape(std::string& text, std::uint32_t unit) {
  char escape[12];
  std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
  text += escape;
}

// The two-character escapes Tiled writes; every other character below 0x20 becomes \u00XX in both
// layouts (Tiled itself would write it raw, which no strict reader takes).
std::optional<char> ShortEscape(unsigned char c, JsonLayout layout) {
  switch (c) {
    case '"':
    case '\\':
      return static_cast<char>(c);
    case '/':
      return layout == JsonLayout::kTiled ? std::optional<char>('/') : std::nullopt;
    case '\b':
      return layout == JsonLayout::kTiled ? std::optional<char>('b') : std::nullopt;
    case '\f':
      return layout == JsonLayout::kTiled ? std::optional<char>('f') : std::nullopt;
    case '\n':
      return layout == JsonLayout::kTiled ? std::optional<char>('n') : std::nullopt;
    case '\r':
      return layout == JsonLayout::kTiled ? std::optional<char>('r') : std::nullopt;
    case '\t':
      return layout == JsonLayout::kTiled ? std::optional<char>('t') : std::nullopt;
    default:
      return std::nullopt;
  }
}

void AppendString(std::string& out, std::string_view text, JsonLayout layout) {
  out.push_back('"');
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x80) {
      if (const std::optional<char> escape = ShortEscape(c, layout)) {
        out.push_back('\\');
        out.push_back(*escape);
      } else if (Printable(c)) {
        out.push_back(static_cast<char>(c));
      } else {
        AppendEscape(out, c);
      }
      ++at;
    } else if (const auto decoded = DecodeUtf8(text, at)) {
      const std::uint32_t codePoint = decoded->first;
      if (codePoint >= 0x10000) {
        AppendEscape(out, 0xD800 + ((codePoint - 0x10000) >> 10));
        AppendEscape(out, 0xDC00 + ((codePoint - 0x10000) & 0x3FF));
      } else {
        AppendEscape(out, codePoint);
      }
      at += decoded->second;
    } else {
      AppendEscape(out, 0xFFFD);
      ++at;
    }
  }
  out.push_back('"');
}

// Tiled's layout: an object opens on a line of its own, indented four spaces a level, each member
// on its own line one space further in; arrays stay on one line, ", " between elements; floating
// numbers with 15 significant digits.
void AppendValue(std::string& out, const nlohmann::json& value, JsonLayout layout, std::size_t depth) {
  const bool tiled = layout == JsonLayout::kTiled;
  switch (value.type()) {
    case nlohmann::json::value_t::object: {
      const std::string indent(tiled ? 4 * depth : 0, ' ');
      out += tiled && depth != 0 ? "\n" + indent + "{\n" : "{";
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) {
          out += tiled ? ",\n" : ",";
        }
        if (tiled) {
          out += indent + " ";
        }
        first = false;
        AppendString(out, key, layout);
        out.push_back(':');
        AppendValue(out, member, layout, depth + 1);
      }
      if (tiled) {
        out += "\n" + indent;
      }
      out.push_back('}');
      break;
    }
    case nlohmann::json::value_t::array: {
      out.push_back('[');
      bool first = true;
      for (const nlohmann::json& element : value) {
        if (!first) {
          out += tiled ? ", " : ",";
        }
        first = false;
        AppendValue(out, element, layout, depth + 1);
      }
      out.push_back(']');
      break;
    }
    case nlohmann::json::value_t::string:
      AppendString(out, value.get_ref<const std::string&>(), layout);
      break;
    case nlohmann::json::value_t::number_float:
      if (tiled && std::isfinite(value.get<double>())) {
        char number[32];
        std::snprintf(number, sizeof number, "%.15g", value.get<double>());
        out += number;
        break;
      }
      out += value.dump();
      break;
    default:
      // Integers, booleans and null are ASCII as nlohmann writes them.
      out += value.dump();
      break;
  }
}

}  // namespace

std::string ByteText(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    AppendUtf8(text, static_cast<unsigned char>(c));
  }
  return text;
}

std::optional<std::pair<std::uint32_t, std::size_t>> DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t codePoint = 0;
  std::uint32_t least = 0;
  if (lead < 0x80) {
    return std::make_pair(std::uint32_t{lead}, std::size_t{1});
  }
  if (lead >= 0xC0 && lead < 0xE0) {
    length = 2, codePoint = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead < 0xF0) {
    length = 3, codePoint = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead < 0xF5) {
    length = 4, codePoint = lead & 0x07u, least = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) {
    return std::nullopt;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return std::nullopt;
    }
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  if (codePoint < least || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint < 0xE000)) {
    return std::nullopt;
  }
  return std::make_pair(codePoint, length);
}

std::string HexText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    text += digits;
  }
  return text;
}

std::string JsonText(const nlohmann::json& value, JsonLayout layout) {
  std::string text;
  AppendValue(text, value, layout, 0);
  return text;
}

std::optional<nlohmann::json> ParseJsonText(std::string_view text, std::string& error) {
  // A control character inside a string is escaped first: Tiled writes them raw.
  std::string escaped;
  escaped.reserve(text.size());
  bool inString = false;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (inString && c < 0x20) {
      AppendEscape(escaped, c);
      continue;
    }
    escaped.push_back(static_cast<char>(c));
    if (c == '"') {
      inString = !inString;
    } else if (inString && c == '\\' && at + 1 < text.size()) {
      escaped.push_back(text[++at]);
    }
  }
  try {
    return nlohmann::json::parse(escaped);
  } catch (const nlohmann::json::exception& problem) {
    error = problem.what();
    return std::nullopt;
  }
}

}  // namespace karst::tools
