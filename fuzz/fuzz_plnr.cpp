// Decodes the input as one PLNR frame, its data from the width on.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_encoding.h"
#include "gff/format.h"
#include "gff/frame_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return karst::fuzzing::FuzzOneEncoding(data, size, karst::kTagPlnr, karst::DecodePlnr);
}
