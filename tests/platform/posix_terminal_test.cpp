// The terminal's encoding as the locale names it: which Latin-1 characters a tool's output shows
// and in which bytes, and how a word of the command line arrives.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/terminal.h"

namespace karst::platform {
namespace {

// LC_ALL set for one test, and put back as it was.
class LocaleNamed {
 public:
  explicit LocaleNamed(const char* name) {
    if (const char* before = getenv("LC_ALL")) {
      before_ = before;
    }
    setenv("LC_ALL", name, 1);
  }
  ~LocaleNamed() {
    if (before_) {
      setenv("LC_ALL", before_->c_str(), 1);
    } else {
      unsetenv("LC_ALL");
    }
  }
  LocaleNamed(const LocaleNamed&) = delete;
  LocaleNamed& operator=(const LocaleNamed&) = delete;

 private:
  std::optional<std::string> before_;
};

TEST(TerminalEncoding, TheLocaleSaysWhichCharactersShow) {
  struct Case {
    const char* locale;
    std::string uUmlaut;  // U+00FC
    std::string noBreakSpace;
  };
  const std::vector<Case> cases = {
      {"C.UTF-8", "\xC3\xBC", "\xC2\xA0"},
      {"C", "", ""},
      {"POSIX", "", ""},
      // A locale that is not installed is the C locale, as it would be for a program that set it.
      {"xx_NOWHERE.UTF-8", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    const LocaleNamed locale(c.locale);
    const Latin1Glyphs glyphs = OutputLatin1Glyphs();
    EXPECT_EQ(glyphs[0xFC - 0xA0], c.uUmlaut);
    EXPECT_EQ(glyphs[0], c.noBreakSpace);
    // A word typed in the locale's encoding, or UTF-8 where it is plain ASCII, is UTF-8 as it is.
    EXPECT_EQ(CommandLineWordAsUtf8("gr\xC3\xBCn"), std::optional<std::string>("gr\xC3\xBCn"));
  }
}

}  // namespace
}  // namespace karst::platform
