// Region names as text: name.txt read back into the name's Latin-1 bytes, a name shown in each
// kind of output encoding, and names matched without regard to case.
#include "tools/text/name_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace karst::tools {
namespace {

std::vector<std::uint8_t> NameBytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(NameText, NameTxtIsUtf8WithOrWithoutAByteOrderMark) {
  struct Case {
    const char* what;
    std::string file;
    std::optional<std::string> name;  // the name's bytes; nothing when refused
    std::string says;                 // the refusal, in part
  };
  const std::vector<Case> cases = {
      {"plain ASCII", "Moor", "Moor", ""},
      {"one line end is not part of it", "Moor\r\n", "Moor", ""},
      {"only one", "Moor\n\n", std::string("Moor\n"), ""},
      {"Latin-1 letters in UTF-8", "Gr\xC3\xBCnwiese", "Gr\xFCnwiese", ""},
      {"a byte-order mark is dropped", "\xEF\xBB\xBFGr\xC3\xBCnwiese\r\n", "Gr\xFCnwiese", ""},
      {"a byte-order mark alone", "\xEF\xBB\xBF", "", ""},
      {"the last Latin-1 character", "\xC3\xBF", "\xFF", ""},
      {"the first beyond it", "\xC4\x80", std::nullopt, "the character U+0100 is outside Latin-1"},
      {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", std::nullopt, "the character U+65E5 is outside Latin-1"},
      {"a second byte-order mark", "\xEF\xBB\xBF\xEF\xBB\xBFx", std::nullopt, "U+FEFF is outside Latin-1"},
      {"beyond the basic plane", "\xF0\x9F\x98\x80", std::nullopt, "U+1F600 is outside Latin-1"},
      {"Latin-1 bytes", "Gr\xFCnwiese", std::nullopt, "byte 2 (0xFC) is not UTF-8: save the file as UTF-8"},
      {"counted from the file's start", "\xEF\xBB\xBFGr\xFCn", std::nullopt, "byte 5 (0xFC) is not UTF-8"},
      {"a sequence cut short", "ab\xC3", std::nullopt, "byte 2 (0xC3) is not UTF-8"},
      {"an overlong form", "\xC0\xAF", std::nullopt, "byte 0 (0xC0) is not UTF-8"},
      {"a surrogate", "\xED\xA0\x80", std::nullopt, "byte 0 (0xED) is not UTF-8"},
      {"a zero character", std::string("a\0b", 3), std::nullopt, "a zero character (U+0000) would end the name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string problem;
    const std::optional<std::vector<std::uint8_t>> name = NameOfTextFile(NameBytes(c.file), problem);
    ASSERT_EQ(name.has_value(), c.name.has_value()) << problem;
    if (name) {
      EXPECT_EQ(*name, NameBytes(*c.name));
    } else {
      EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
    }
  }
}

// The glyphs of three kinds of output: plain ASCII (the C locale), UTF-8, and a one-byte code page
// that lacks some characters (ISO 8859-15 has the euro sign where Latin-1 has the currency sign).
platform::Latin1Glyphs Utf8Glyphs() {
  platform::Latin1Glyphs glyphs;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    const auto character = static_cast<unsigned>(0xA0 + i);
    glyphs[i] = {static_cast<char>(0xC0 | (character >> 6)), static_cast<char>(0x80 | (character & 0x3F))};
  }
  return glyphs;
}

platform::Latin1Glyphs Latin9Glyphs() {
  platform::Latin1Glyphs glyphs;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    glyphs[i] = std::string(1, static_cast<char>(0xA0 + i));
  }
  for (const unsigned missing : {0xA4u, 0xA6u, 0xA8u, 0xB4u, 0xB8u, 0xBCu, 0xBDu, 0xBEu}) {
    glyphs[missing - 0xA0].clear();
  }
  return glyphs;
}

TEST(NameText, ShownInTheOutputsEncodingControlBytesEscaped) {
  struct Case {
    std::string name;
    std::string ascii;
    std::string utf8;
    std::string latin9;
  };
  const std::vector<Case> cases = {
      {"Old Town", "Old Town", "Old Town", "Old Town"},
      {"Gr\xFCnwiese", "Gr\\xFCnwiese", "Gr\xC3\xBCnwiese", "Gr\xFCnwiese"},
      {"\xA0\xFF", "\\xA0\\xFF", "\xC2\xA0\xC3\xBF", "\xA0\xFF"},
      // What the code page lacks stays escaped.
      {"1\xBD \xA4", "1\\xBD \\xA4", "1\xC2\xBD \xC2\xA4", "1\\xBD \\xA4"},
      // Control bytes, C1 ones, DEL and the invisible soft hyphen, in every encoding.
      {std::string("a\x1B[2J\n\0\x7F\x80\x9F\xAD", 11), "a\\x1B[2J\\x0A\\x00\\x7F\\x80\\x9F\\xAD",
       "a\\x1B[2J\\x0A\\x00\\x7F\\x80\\x9F\\xAD", "a\\x1B[2J\\x0A\\x00\\x7F\\x80\\x9F\\xAD"},
  };
  const platform::Latin1Glyphs utf8 = Utf8Glyphs();
  const platform::Latin1Glyphs latin9 = Latin9Glyphs();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ascii);
    EXPECT_EQ(ShownText(c.name, platform::Latin1Glyphs{}), c.ascii);
    EXPECT_EQ(ShownText(c.name, utf8), c.utf8);
    EXPECT_EQ(ShownText(c.name, latin9), c.latin9);
    // Bytes of no known encoding are never taken as characters.
    EXPECT_EQ(EscapedText(c.name), c.ascii);
  }
}

TEST(NameText, LettersMatchWithoutRegardToCaseAcrossLatin1) {
  struct Case {
    std::string name;
    std::string part;
    bool holds;
  };
  const std::vector<Case> cases = {
      {"Gr\xFCnwiese", "gr\xFCn", true},
      {"Gr\xFCnwiese", "GR\xDCN", true},
      {"GR\xDCNWIESE", "gr\xFCn", true},
      {"Gr\xFCnwiese", "grun", false},
      {"\xC0\xDE", "\xE0\xFE", true},
      // The multiplication and division signs sit where a capital and its small letter would.
      {"\xD7", "\xF7", false},
      // Neither sharp s nor y with diaeresis has a capital in Latin-1.
      {"\xDF\xFF", "\xDF\xFF", true},
      {"\xDF", "S", false},
      {"Old Town", "", true},
      {"Old", "Old Town", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HoldsIgnoringCase(c.name, c.part), c.holds) << EscapedText(c.name) << " / " << EscapedText(c.part);
  }
}

}  // namespace
}  // namespace karst::tools
