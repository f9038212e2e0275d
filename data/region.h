// One region: the name, palette, tiles, tile map, second map and entity table read from one
// region file, and the loader that reads them.
//
// Chunks a region file holds (tags are four characters; "PAL " and "MAP " end in a blank):
//
//   tag     taken                  payload
//   "PAL "  the first one listed   raw: 256 colours of 3 bytes (red, green, blue, 0-63 each)
//   "TILE"  every one, in order    a frame set (gff/frame_set.h); frame 0 is a 16 x 16 tile
//   "MAP "  the first one listed   raw: 96 rows of 128 tile indices, one byte a cell
//   "GMAP"  the first one listed   raw; kept, never read
//   "RNME"  the first one listed   the name, single-byte characters
//   "ETAB"  the first one listed   the entity table: 8-byte records, no header
//
// ETAB record (little-endian):
//
//   bytes   width   field
//   0-1     u16     x, map x in pixels of the anchor point
//   2-3     u16     y, map y in pixels of the anchor point
//   4       u8      z, height above the ground in pixels
//   5       u8      flags, bit 7: drawn mirrored left to right
//   6-7     u16     objectId, the number of the object library's "OJFF" chunk
//
// A map cell's tile index is a position in `tiles`, not a chunk number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "gff/load_report.h"

namespace karst {

// The names a game folder's files go by: its regions, in the search's wildcard form, and its
// object library. Both are matched without regard to case.
inline constexpr std::string_view kRegionFilePattern = "RGN*.GFF";
inline constexpr char kObjectLibraryFileName[] = "OBJEX.GFF";

// One object placed on the map: the ETAB record's fields widened with zeros.
struct Entity {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t z = 0;
  std::uint32_t flags = 0;
  std::uint32_t objectId = 0;
};

// A loaded region. It owns everything it holds; the file is not needed once it is loaded.
// Missing parts are empty: a field without a value means the file had no such chunk (or could
// not hold it), which is not the same as a chunk of 0 bytes.
struct Region {
  // The first RNME chunk's bytes up to the first zero byte; "" for a chunk of 0 bytes.
  std::optional<std::string> name;
  // Raw payloads of the first PAL, GMAP and MAP chunks; exactly `paletteSize`, `gmapSize` and
  // `mapSize` bytes, zeros where the file had none.
  std::optional<std::vector<std::uint8_t>> paletteData;
  std::optional<std::vector<std::uint8_t>> gmapData;
  std::optional<std::vector<std::uint8_t>> mapData;
  // One frame set for every TILE chunk; position i is the i-th chunk whose seek succeeded, and
  // the sets behind the last of those stay empty. Always `tileCount` long.
  std::vector<FrameSet> tiles;
  // The first ETAB chunk's records in payload order; none when its size is not a multiple of 8.
  std::optional<std::vector<Entity>> entities;
  std::uint32_t paletteSize = 0;
  std::uint32_t gmapSize = 0;
  std::uint32_t mapSize = 0;
  std::int32_t tileCount = 0;
  std::int32_t entityCount = 0;
  // Where the parts came from, so that what is wrong with them can be named: the PAL and MAP
  // chunks whose buffers were kept, the ETAB chunk whose payload was read (whether or not it gave
  // a table), and how many of `tiles` were read and decoded, the first ones.
  std::optional<ChunkEntry> paletteChunk;
  std::optional<ChunkEntry> mapChunk;
  std::optional<ChunkEntry> entityChunk;
  std::int32_t tilesRead = 0;
};

// Reads a region file. Null when it cannot be opened, does not begin with "GFFI", or is too
// short to reach its directory; anything else gives a region, with what the file holds. The
// notes of the reading and decoding go to `report`, narrowed to the file, its chunks and frames;
// an ETAB payload that gives no table is noted too.
std::unique_ptr<Region> LoadRegion(const std::string& path, const LoadReport& report);

// The same load from a container opened by the caller (from a file or from bytes). Null when
// `file` is not open. The file is closed when the load returns.
std::unique_ptr<Region> LoadRegion(GffFile& file, const LoadReport& report);

// The entities of an ETAB payload, or nothing when its size is not a multiple of 8. A payload
// of 0 bytes gives a table of no entities.
std::optional<std::vector<Entity>> ParseEntities(std::span<const std::uint8_t> payload);

// How many bytes of an RNME payload are the name: those before its first zero byte, or all of
// them. Whoever shows the name stops there; the bytes behind it are kept and never shown.
std::size_t RegionNameLength(std::span<const std::uint8_t> payload);

// The chunks of `directory` a loaded region holds for `tag` when every read succeeds, as
// positions among all the directory's chunks in directory order: for "TILE" every chunk of the
// last "TILE" record, for the others ("PAL ", "MAP ", "GMAP", "RNME", "ETAB") the first chunk of
// the last record of that tag that lists one. The loader walks the records in order and a later
// record replaces what an earlier one gave. Empty when the region holds none.
std::vector<std::size_t> TakenChunks(const GffDirectory& directory, const Tag& tag);

}  // namespace karst
