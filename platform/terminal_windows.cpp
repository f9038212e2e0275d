#include "platform/terminal.h"

#include "platform/text_encoding.h"
#include "platform/windows_api.h"

namespace karst::platform {

// Only a console has a console mode; files and pipes do not.
bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

// The console's output code page; a process without a console (0) shows nothing beyond ASCII.
Latin1Glyphs OutputLatin1Glyphs() {
  Latin1Glyphs glyphs;
  const UINT codePage = GetConsoleOutputCP();
  for (std::size_t i = 0; i < glyphs.size() && codePage != 0; ++i) {
    const wchar_t character = static_cast<wchar_t>(0xA0 + i);
    if (codePage == CP_UTF8) {
      glyphs[i] = BytesFromWide(std::wstring_view(&character, 1), CP_UTF8);
      continue;
    }
    // Without a best fit, and with the default character noticed: "u" for "ü" would be a lie.
    char bytes[8];
    BOOL usedDefault = FALSE;
    const int length =
        WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &character, 1, bytes, sizeof bytes, nullptr, &usedDefault);
    if (length > 0 && usedDefault == FALSE) {
      glyphs[i].assign(bytes, static_cast<std::size_t>(length));
    }
  }
  return glyphs;
}

std::optional<std::string> CommandLineWordAsUtf8(std::string_view word) { return std::string(word); }

}  // namespace karst::platform
