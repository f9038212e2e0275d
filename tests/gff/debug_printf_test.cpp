// DebugPrintf: printf formatting into 1024 bytes, sent to the debug channel exactly as formatted.
#include "gff/debug_printf.h"

#include <gtest/gtest.h>

#include <string>

namespace karst {
namespace {

template <typename Print>
std::string DebugText(Print print) {
  ::testing::internal::CaptureStderr();
  print();
  return ::testing::internal::GetCapturedStderr();
}

TEST(DebugPrintf, LetterWithoutAConversionPrintsAsItselfAndTakesNoArgument) {
  EXPECT_EQ(DebugText([] { DebugPrintf("%Y offset: %u is different!\n", 1u); }),
            "Y offset: 1 is different!\n");
  EXPECT_EQ(DebugText([] { DebugPrintf("%Y offset: %u is different!\n", 254u); }),
            "Y offset: 254 is different!\n");
}

TEST(DebugPrintf, PrintfConversionsAndPercentSigns) {
  EXPECT_EQ(DebugText([] { DebugPrintf("%d|%5s|%02x|%%Y|%ld", -3, "ab", 10u, 7L); }),
            "-3|   ab|0a|%Y|7");
  EXPECT_EQ(DebugText([] { DebugPrintf("100%"); }), "100%");
  EXPECT_EQ(DebugText([] { DebugPrintf("no line end"); }), "no line end");
}

TEST(DebugPrintf, TextIsCutAtTheBuffer) {
  const std::string fits(kDebugPrintfBufferSize - 1, 'a');
  EXPECT_EQ(DebugText([&] { DebugPrintf("%s", fits.c_str()); }), fits);
  const std::string longer = fits + "bcd";
  EXPECT_EQ(DebugText([&] { DebugPrintf("%s", longer.c_str()); }), fits);
}

}  // namespace
}  // namespace karst
