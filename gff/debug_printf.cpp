#include "gff/debug_printf.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

namespace karst {
namespace {

// Letters that may follow '%' directly in a printf conversion: the conversions themselves and the
// length modifiers.
constexpr std::string_view kPrintfLetters = "diouxXeEfFgGaAcspnhljztL";

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Rewrites each '%' + unknown letter as the letter itself, and a '%' that ends the format as a
// plain '%', so that vsnprintf only ever sees conversions it defines.
std::string WithoutUnknownConversions(std::string_view format) {
  std::string result;
  result.reserve(format.size());
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '%' && i + 1 == format.size()) {
      result += "%%";
      continue;
    }
    if (c == '%') {
      const char next = format[i + 1];
      if (next == '%') {
        result += "%%";
        ++i;
        continue;
      }
      if (IsAsciiLetter(next) && kPrintfLetters.find(next) == std::string_view::npos) {
        result.push_back(next);
        ++i;
        continue;
      }
    }
    result.push_back(c);
  }
  return result;
}

}  // namespace

std::string DebugPrintf(const char* format, ...) {
  const std::string safeFormat = WithoutUnknownConversions(format);
  char buffer[kDebugPrintfBufferSize];
  std::va_list arguments;
  va_start(arguments, format);
  const int length = std::vsnprintf(buffer, sizeof buffer, safeFormat.c_str(), arguments);
  va_end(arguments);
  if (length < 0) {
    return {};
  }
  // A longer text is cut at the buffer, as the fixed buffer implies.
  const std::size_t kept = std::min<std::size_t>(static_cast<std::size_t>(length), sizeof buffer - 1);
  return std::string(buffer, kept);
}

}  // namespace karst
