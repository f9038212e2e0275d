// DebugPrintf: printf formatting into 1024 bytes, the text exactly as formatted.
#include "gff/debug_printf.h"

#include <gtest/gtest.h>

#include <string>

namespace karst {
namespace {

TEST(DebugPrintf, LetterWithoutAConversionPrintsAsItselfAndTakesNoArgument) {
  EXPECT_EQ(DebugPrintf("%Y offset: %u is different!\n", 1u), "Y offset: 1 is different!\n");
  EXPECT_EQ(DebugPrintf("%Y offset: %u is different!\n", 254u), "Y offset: 254 is different!\n");
}

TEST(DebugPrintf, PrintfConversionsAndPercentSigns) {
  EXPECT_EQ(DebugPrintf("%d|%5s|%02x|%%Y|%ld", -3, "ab", 10u, 7L), "-3|   ab|0a|%Y|7");
  EXPECT_EQ(DebugPrintf("100%"), "100%");
  EXPECT_EQ(DebugPrintf("no line end"), "no line end");
}

TEST(DebugPrintf, TextIsCutAtTheBuffer) {
  const std::string fits(kDebugPrintfBufferSize - 1, 'a');
  EXPECT_EQ(DebugPrintf("%s", fits.c_str()), fits);
  const std::string longer = fits + "bcd";
  EXPECT_EQ(DebugPrintf("%s", longer.c_str()), fits);
}

}  // namespace
}  // namespace karst
