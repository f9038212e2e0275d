// Which vector instructions the blits and the frame conversion run on: the widest kind this
// build and processor have, or a narrower kind named in the environment variable KARST_VECTORS
// ("avx512", "avx2", "sse2" or "plain"; anything else is ignored), so that the paths can be measured against each other
// on one machine. Every path gives the same pixels as the plain code.
#pragma once

#include <vector>

namespace karst::platform {

// Narrowest first. Avx512 needs AVX-512 F, BW and VBMI and BMI2.
enum class Vectors { Plain, Sse2, Avx2, Avx512 };

// The widest kind available, capped by KARST_VECTORS; decided on the first call.
Vectors ChosenVectors();

// `widest` capped by a value of KARST_VECTORS (null when it is not set).
Vectors CappedVectors(Vectors widest, const char* cap);

// Every kind this build can run on this processor, narrowest first, whatever KARST_VECTORS says.
std::vector<Vectors> AvailableVectors();

// "AVX-512", "AVX2", "SSE2" or "plain".
const char* VectorsName(Vectors vectors);

// What each part runs on for `vectors`: blits with keys or mirroring, and the conversion of a
// frame to 32 bits. A part without code of that width takes the next narrower one it has.
Vectors BlitVectors(Vectors vectors);
Vectors ConversionVectors(Vectors vectors);

}  // namespace karst::platform
