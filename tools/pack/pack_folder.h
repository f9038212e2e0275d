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
// gets its new offset and size. What each rebuilt chunk changed is counted (ChunkChange), and the
// check's findings of the rebuilt file come back as notes: the file is written all the same.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gff/allocation_budget.h"
#include "tools/job/job_problem.h"
#include "tools/pack/unpack_manifest.h"
#include "tools/tiled/tiled_map.h"

namespace karst::tools {

struct PackOptions {
  bool nearest = false;  // colours the palette lacks take the nearest one
  bool force = false;    // edit overlapping or cut-short containers; write a region that would not load
  // The fixed part of the budget of each load pack makes (the directory read back, each frame set
  // decoded, the region checked); the rest is 64 bytes per byte of what is loaded.
  std::uint64_t budgetBase = AllocationBudget::kBaseBytes;
  // The colour (0xRRGGBB) that stands for transparent in a sprite's picture saved without
  // transparency; none: such a picture of a frame with transparent pixels is refused.
  std::optional<std::uint32_t> transparentColour;
};

// What one rebuilt chunk took from an edit, counted in a modder's words.
struct ChunkChange {
  std::string chunk;  // "MAP-7"
  std::string form;   // the file it was taken from: "map.tmj", "frames/TILE-9-0.png", "chunks/PAL-3.bin"
  std::uint64_t cellsRepainted = 0;
  EntityChanges entities;  // by the map's object ids when taken from map.tmj, else by place in the table
  std::uint64_t framesChanged = 0;
  std::uint64_t coloursChanged = 0;
  bool nameChanged = false;
  std::vector<std::string> fieldsChanged;  // of an object definition: "hotspotX", ...
  // Bytes none of the counts above covers changed: past the map's cells or the name, or a chunk
  // of a kind pack does not read.
  bool otherBytesChanged = false;
  // Taken from its edited chunks/*.bin, whose original bytes the folder no longer holds to count
  // against: its size, and the original's.
  bool takenAsItIs = false;
  std::uint64_t size = 0;
  std::uint64_t originalSize = 0;

  // "MAP-7: from map.tmj: 12 cells repainted"; "ETAB-5: from map.tmj: 230 entities removed, the
  // layer "Entities without a picture" emptied"; "PAL-3: from chunks/PAL-3.bin: taken as it is
  // (768 bytes)".
  std::string Text() const;
};

struct Packed {
  std::vector<std::uint8_t> bytes;
  // One for each chunk taken from an edited form, in directory order.
  std::vector<ChunkChange> changes;
  // What was taken otherwise than a form seems to say, and what the check finds in the rebuilt
  // file ("TILE 9 (tile 2): frame 0 is 20 x 20, ..."): one line each. They do not keep the file
  // from being written.
  std::vector<std::string> notes;
  // How many pixels took the nearest colour (--nearest).
  std::uint64_t nearestPixels = 0;
  // How many pixels of the transparent colour were taken as transparent.
  std::uint64_t transparentPixels = 0;
};

// The container; nothing, with why in `problem`, when it is refused: the words name the file at
// fault, and the place names the file of the folder the refusal is about, where it is one. A
// refusal that `force` lifts is of the kind kLayoutWouldChange or kWouldNotLoad. Nothing is
// written: the problem's file is the caller's to fill in. `files` holds manifest.json and every
// file it lists.
std::optional<Packed> Pack(const FolderFiles& files, const PackOptions& options, JobProblem& problem);

// The same with the manifest already read from `files`.
std::optional<Packed> Pack(const Manifest& manifest, const FolderFiles& files, const PackOptions& options,
                           JobProblem& problem);

}  // namespace karst::tools
