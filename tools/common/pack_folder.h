// `karst-gff pack` without the file system: the files of an unpack folder, in memory, put back
// together into one container.
//
// Each chunk keeps its original payload unless one of its forms changed: its chunks/*.bin (taken
// as it is) or an editable form (its frame pictures, palette.gpl, name.txt, objects.json). A
// form counts as changed when its file's hash differs from the manifest's and what it gives
// differs from the chunk's payload; two forms of one chunk that give different payloads are
// refused, naming both. Each editable form is one function from the folder to the payloads it
// proposes, so another form joins by adding its function to the list.
//
// Nothing changed: the very bytes of the original. Something changed: every other payload is
// byte for byte the original and the directory keeps its records, order, forms, counts and
// flags; a changed payload stays where it was when it fits there alone, else it goes behind the
// end of the file, and its entry (in the directory, or in the index chunk of an indexed record)
// gets its new offset and size.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gff/allocation_budget.h"
#include "tools/common/unpack_manifest.h"

namespace karst::tools {

struct PackOptions {
  bool nearest = false;  // colours the palette lacks take the nearest one
  bool force = false;    // edit overlapping or cut-short containers; write a region that would not load
  // The fixed part of the budget of each load pack makes (the directory read back, each frame set
  // decoded, the region checked); the rest is 64 bytes per byte of what is loaded.
  std::uint64_t budgetBase = AllocationBudget::kBaseBytes;
};

struct Packed {
  std::vector<std::uint8_t> bytes;
  // One line for each chunk taken from an edited form: "TILE-3: from frames/TILE-3-0.png".
  std::vector<std::string> changes;
  // How many pixels took the nearest colour (--nearest).
  std::uint64_t nearestPixels = 0;
};

// The container; nothing, with why in `error` (naming the file at fault), when it is refused.
// `files` holds manifest.json and every file it lists.
std::optional<Packed> Pack(const FolderFiles& files, const PackOptions& options, std::string& error);

// The same with the manifest already read from `files`.
std::optional<Packed> Pack(const Manifest& manifest, const FolderFiles& files, const PackOptions& options,
                           std::string& error);

}  // namespace karst::tools
