// Which vector code runs: KARST_VECTORS only ever narrows the processor's widest kind, and each
// part maps a kind to the code it has.
#include <gtest/gtest.h>

#include "platform/vector_paths.h"

namespace karst::platform {
namespace {

TEST(VectorPathsTest, TheVariableCapsTheWidestKind) {
  struct Case {
    Vectors widest;
    const char* cap;
    Vectors expected;
  };
  const Case cases[] = {
      {Vectors::Avx512, nullptr, Vectors::Avx512}, {Vectors::Avx512, "avx512", Vectors::Avx512},
      {Vectors::Avx512, "avx2", Vectors::Avx2},    {Vectors::Avx512, "sse2", Vectors::Sse2},
      {Vectors::Avx512, "plain", Vectors::Plain},  {Vectors::Avx2, "avx512", Vectors::Avx2},
      {Vectors::Avx2, "avx2", Vectors::Avx2},      {Vectors::Sse2, "avx2", Vectors::Sse2},
      {Vectors::Avx2, "AVX2", Vectors::Avx2},      {Vectors::Avx2, "", Vectors::Avx2},
      {Vectors::Avx512, "avx5", Vectors::Avx512},  {Vectors::Avx512, "AVX2", Vectors::Avx512},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(VectorsName(c.widest)) + " capped by " + (c.cap != nullptr ? c.cap : "(unset)"));
    EXPECT_EQ(CappedVectors(c.widest, c.cap), c.expected);
  }
}

TEST(VectorPathsTest, EachPartRunsTheCodeItHas) {
  struct Case {
    Vectors vectors;
    Vectors blits;
    Vectors conversion;
  };
  const Case cases[] = {
      {Vectors::Avx512, Vectors::Avx512, Vectors::Avx512},
      {Vectors::Avx2, Vectors::Avx2, Vectors::Avx2},
      {Vectors::Sse2, Vectors::Sse2, Vectors::Plain},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(VectorsName(c.vectors));
    EXPECT_EQ(BlitVectors(c.vectors), c.blits);
    EXPECT_EQ(ConversionVectors(c.vectors), c.conversion);
  }
  // The blits' baseline loops are the build's baseline (SSE2 on x86-64): plain runs them too.
  EXPECT_EQ(BlitVectors(Vectors::Plain), BlitVectors(Vectors::Sse2));
  EXPECT_EQ(ConversionVectors(Vectors::Plain), Vectors::Plain);
}

TEST(VectorPathsTest, AvailableKindsRunFromPlainToTheWidest) {
  const std::vector<Vectors> available = AvailableVectors();
  ASSERT_FALSE(available.empty());
  EXPECT_EQ(available.front(), Vectors::Plain);
  for (std::size_t i = 1; i < available.size(); ++i) {
    EXPECT_EQ(static_cast<int>(available[i]), static_cast<int>(available[i - 1]) + 1);
  }
  EXPECT_LE(ChosenVectors(), available.back());
}

}  // namespace
}  // namespace karst::platform
