// Loads an object library from the input and checks its tables against their keys.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "data/object_library.h"
#include "fuzz/fuzz_budget.h"
#include "gff/gff_file.h"

namespace {

bool FrameSetsAgree(const std::map<std::int32_t, std::unique_ptr<karst::FrameSet>>& table) {
  for (const auto& [key, set] : table) {
    if (!set || static_cast<std::int32_t>(set->number) != key ||
        set->frames.size() != static_cast<std::size_t>(set->frameCount)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karst::GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(data, data + size), karst::LoadReport(),
                      karst::fuzzing::kFuzzBaseBytes)) {
    return 0;
  }
  const std::unique_ptr<karst::ObjectLibrary> library = karst::LoadObjectLibrary(file, karst::LoadReport());
  if (!library || !FrameSetsAgree(library->bmpSets) || !FrameSetsAgree(library->cbmpSets)) {
    __builtin_trap();
  }
  for (const auto& [key, def] : library->objectDefs) {
    if (def && static_cast<std::int32_t>(def->id) != key) {
      __builtin_trap();
    }
  }
  return 0;
}
