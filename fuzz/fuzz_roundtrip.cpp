// unpack and pack: any bytes that unpack takes apart, pack puts back together unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_budget.h"
#include "tools/pack/pack_folder.h"
#include "tools/pack/unpack_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  karst::tools::UnpackOptions options;
  options.source = "FUZZ.GFF";
  options.budgetBase = karst::fuzzing::kFuzzBaseBytes;
  std::string error;
  const std::optional<karst::tools::Unpacked> unpacked = karst::tools::UnpackContainer(bytes, options, error);
  if (!unpacked) {
    return 0;
  }
  karst::tools::PackOptions packOptions;
  packOptions.budgetBase = karst::fuzzing::kFuzzBaseBytes;
  karst::tools::JobProblem problem;
  const std::optional<karst::tools::Packed> packed = karst::tools::Pack(unpacked->files, packOptions, problem);
  if (!packed || !packed->changes.empty() || packed->bytes.size() != size ||
      !std::equal(packed->bytes.begin(), packed->bytes.end(), bytes.begin())) {
    __builtin_trap();
  }
  return 0;
}
