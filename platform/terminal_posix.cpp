#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <string>

#include "platform/terminal.h"

namespace karst::platform {
namespace {

// The codeset of the locale the environment names ("UTF-8", "ISO-8859-1"); the C locale's when
// the named locale is not installed, as a program that sets its locale would then run in.
std::string LocaleCodeset() {
  const locale_t named = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  const locale_t locale = named != static_cast<locale_t>(0) ? named : newlocale(LC_CTYPE_MASK, "C", named);
  if (locale == static_cast<locale_t>(0)) {
    return "ANSI_X3.4-1968";
  }
  std::string codeset = nl_langinfo_l(CODESET, locale);
  freelocale(locale);
  return codeset;
}

bool IsUtf8(const std::string& codeset) { return codeset == "UTF-8" || codeset == "utf8"; }

bool IsAscii(const std::string& codeset) {
  return codeset == "ANSI_X3.4-1968" || codeset == "ASCII" || codeset == "US-ASCII";
}

// One conversion between two codesets, closed when it goes.
class Conversion {
 public:
  Conversion(const std::string& to, const char* from) : handle_(iconv_open(to.c_str(), from)) {}
  ~Conversion() {
    if (Usable()) {
      iconv_close(handle_);
    }
  }
  Conversion(const Conversion&) = delete;
  Conversion& operator=(const Conversion&) = delete;

  bool Usable() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // `text` converted whole; nothing when a character has no exact counterpart.
  std::optional<std::string> Convert(std::string_view text) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string input(text);
    std::string output(4 * input.size() + 16, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    // A count above 0 is of characters given approximately; -1 a failure.
    if (iconv(handle_, &in, &inLeft, &out, &outLeft) != 0 || iconv(handle_, nullptr, nullptr, &out, &outLeft) != 0) {
      return std::nullopt;
    }
    output.resize(output.size() - outLeft);
    return output;
  }

 private:
  iconv_t handle_;
};

}  // namespace

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

Latin1Glyphs OutputLatin1Glyphs() {
  Latin1Glyphs glyphs;
  const std::string codeset = LocaleCodeset();
  if (IsAscii(codeset)) {
    return glyphs;
  }
  Conversion conversion(codeset, "ISO-8859-1");
  for (std::size_t i = 0; i < glyphs.size() && conversion.Usable(); ++i) {
    const char character = static_cast<char>(0xA0 + i);
    glyphs[i] = conversion.Convert(std::string_view(&character, 1)).value_or("");
  }
  return glyphs;
}

std::optional<std::string> CommandLineWordAsUtf8(std::string_view word) {
  const std::string codeset = LocaleCodeset();
  if (IsUtf8(codeset) || IsAscii(codeset)) {
    return std::string(word);
  }
  Conversion conversion("UTF-8", codeset.c_str());
  return conversion.Usable() ? conversion.Convert(word) : std::nullopt;
}

}  // namespace karst::platform
