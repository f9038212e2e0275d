// Opens a container from the input and reads every chunk the directory lists, the way the
// loaders do: a chunk that claims more than the file or than the load's budget is not read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_budget.h"
#include "gff/gff_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karst::GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(data, data + size), karst::LoadReport(),
                      karst::fuzzing::kFuzzBaseBytes)) {
    return 0;
  }
  for (const karst::ChunkType& type : file.directory()) {
    // The reader keeps no record without entries and always ends a tag with a zero byte.
    if (!type.entries || type.tag[4] != '\0') {
      __builtin_trap();
    }
    for (const karst::ChunkEntry& entry : *type.entries) {
      if (!file.SeekTo(entry) || file.ClaimsMoreThanFile(entry) || !file.budget().Take(entry.size)) {
        continue;
      }
      std::vector<std::uint8_t> payload(entry.size);
      if (file.Read(payload) > entry.size) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
