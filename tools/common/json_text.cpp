#include "tools/common/json_text.h"

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
  char escape[8];
  std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
  text += escape;
}

// The code point of the UTF-8 sequence at `at`, and its length; nothing when the bytes there are
// no valid sequence (overlong forms and surrogates included).
std::optional<std::pair<std::uint32_t, std::size_t>> DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  std::uint32_t codePoint = 0;
  std::uint32_t least = 0;
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

void AppendString(std::string& out, std::string_view text) {
  out.push_back('"');
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (Printable(c)) {
      if (c == '"' || c == '\\') {
        out.push_back('\\');
      }
      out.push_back(static_cast<char>(c));
      ++at;
    } else if (c < 0x80) {
      AppendEscape(out, c);
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

void AppendValue(std::string& out, const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::object: {
      out.push_back('{');
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) {
          out.push_back(',');
        }
        first = false;
        AppendString(out, key);
        out.push_back(':');
        AppendValue(out, member);
      }
      out.push_back('}');
      break;
    }
    case nlohmann::json::value_t::array: {
      out.push_back('[');
      bool first = true;
      for (const nlohmann::json& element : value) {
        if (!first) {
          out.push_back(',');
        }
        first = false;
        AppendValue(out, element);
      }
      out.push_back(']');
      break;
    }
    case nlohmann::json::value_t::string:
      AppendString(out, value.get_ref<const std::string&>());
      break;
    default:
      // Numbers, booleans and null are ASCII as nlohmann writes them.
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

std::string HexText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    text += digits;
  }
  return text;
}

std::string JsonText(const nlohmann::json& value) {
  std::string text;
  AppendValue(text, value);
  return text;
}

std::string EscapedText(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (Printable(byte)) {
      text.push_back(c);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(byte));
      text += escape;
    }
  }
  return text;
}

}  // namespace karst::tools
