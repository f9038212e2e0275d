// `karst-gff unpack` without the file system: one container's bytes taken apart into the files
// of an unpack folder, in memory.
//
//   manifest.json                 how to lay the container out again (tools/pack/unpack_manifest.h)
//   rest.bin                      every byte no payload covers, in file order
//   chunks/<TAG>-<number>.bin     every chunk's payload as the file holds it
//   frames/<TAG>-<number>-<frame>.png   every frame with pixels of every TILE, BMP and CBMP chunk,
//                                 indexed, index 0 of BMP and CBMP frames transparent
//   palette.gpl, name.txt         a region's colours (GIMP palette) and name (UTF-8)
//   map.tmj, tiled/               a region's Tiled map and its tilesets (tools/tiled/tiled_map.h),
//                                 for a region the viewer shows
//   objects.json                  an object library's definitions
//
// Any bytes whose first 16 are there and begin with "GFFI" are taken apart, whatever the
// directory and payloads hold; `pack` gives those very bytes back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "data/object_library.h"
#include "gff/allocation_budget.h"
#include "tools/pack/unpack_manifest.h"
#include "tools/pictures/png_file.h"

namespace karst::tools {

struct UnpackOptions {
  // The container's file name, kept in the manifest as the name `pack` gives a game folder's file.
  std::string source;
  // The colours of an object library's (or any other non-region container's) pictures, from a
  // region (--palette); greyscale without.
  std::optional<PngPalette> libraryColours;
  // The object library a region's map draws its objects with (--objects, or the one beside the
  // region); null: the map's entities are all points.
  const ObjectLibrary* objects = nullptr;
  // The fixed part of the budget of each load the unpack makes: the directory read, the region
  // behind the map, each frame set decoded (the rest is 64 bytes per byte of what is loaded).
  std::uint64_t budgetBase = AllocationBudget::kBaseBytes;
};

struct Unpacked {
  FolderFiles files;
  Manifest manifest;
  // What the folder is: "region", "object library" or "container".
  std::string kind;
  // The files left out, each with why: "map.tmj: TILE 3 needs more memory than a load of this file
  // may take", "frames/BMP-7-0.png: 5000 x 5000 pixels, more than one frame may take". Pack gives
  // the original bytes back without them.
  std::vector<std::string> leftOut;
  // Its pictures are greyscale: no region lent them its colours.
  bool greyscale = false;
};

// Nothing, with the reason in `error`, when the first 16 bytes are missing or do not begin with
// "GFFI".
std::optional<Unpacked> UnpackContainer(std::span<const std::uint8_t> bytes, const UnpackOptions& options,
                                        std::string& error);

// The chunks a region takes (TakenChunks), as positions in the manifest's chunks.
struct RegionParts {
  std::optional<std::size_t> palette;
  std::optional<std::size_t> map;
  std::optional<std::size_t> name;
  std::optional<std::size_t> entities;
  std::vector<std::size_t> tiles;
};

// What a directory says the container is.
struct ContainerKind {
  bool library = false;  // LooksLikeObjectLibrary
  RegionParts region;
};

// The directory of `bytes` as the reader finds it, with a budget of `budgetBase` plus 64 bytes per
// byte, into the manifest's size, directory place, records and chunks (names made unique without
// regard to case). False when the first 16 bytes are missing or do not begin with "GFFI".
// `kind`, when given, gets what the directory says the container is.
bool ReadContainerDirectory(std::span<const std::uint8_t> bytes, std::uint64_t budgetBase, Manifest& manifest,
                            ContainerKind* kind = nullptr);

// The bytes of `bytes` that no chunk's payload (as far as the file holds it) covers, as spans.
std::vector<Span> UncoveredSpans(const Manifest& manifest);

// objects.json: the definitions of the manifest's object chunks (taken from their files in
// `files`), one JSON object a line.
std::string ObjectsText(const Manifest& manifest, const FolderFiles& files);

}  // namespace karst::tools
