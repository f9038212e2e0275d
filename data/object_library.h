// The object library: the object definitions and the bitmaps that draw them, read from one
// container, and its loader.
//
// Chunks the library file holds:
//
//   tag     payload
//   "OJFF"  one object definition, exactly 16 bytes (below)
//   "BMP "  a frame set (gff/frame_set.h); frame 0 draws the objects that name its number
//   "CBMP"  a frame set in the same format; kept, never drawn
//
// OJFF payload (little-endian, unsigned):
//
//   bytes   width   field
//   0-1     u16     word0, kept
//   2-3     u16     hotspotX, x inside frame 0 of the bitmap that sits on the entity's anchor
//   4-5     u16     hotspotY, y of that point
//   6-7     u16     word6, kept
//   8-9     u16     word8, kept
//   10      u8      byte10, kept
//   11      u8      byte11, kept
//   12-13   u16     bitmapId, the number of the "BMP " chunk that draws the object
//   14-15   u16     word14, kept
//
// Chunk numbers tie the data together: an entity names a definition by its OJFF chunk number,
// a definition names its bitmap by a BMP chunk number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "gff/load_report.h"
#include "platform/ddraw.h"

namespace karst {

// One object definition: the OJFF fields widened with zeros, and the number of its chunk.
struct ObjectDef {
  std::uint32_t word0 = 0;
  std::uint32_t hotspotX = 0;
  std::uint32_t hotspotY = 0;
  std::uint32_t word6 = 0;
  std::uint32_t word8 = 0;
  std::uint32_t byte10 = 0;
  std::uint32_t byte11 = 0;
  std::uint32_t bitmapId = 0;
  std::uint32_t word14 = 0;
  std::uint32_t id = 0;
};

// One field of the OJFF payload: its name in the tools' lists and files, its width in bytes (2,
// or 1), and the ObjectDef member that holds it.
struct ObjectDefField {
  std::string_view name;
  std::size_t width;
  std::uint32_t ObjectDef::*member;

  std::uint32_t Largest() const { return width == 1 ? 0xFFu : 0xFFFFu; }
};

// Every field of the payload, in file order, one after the other (the table above): what
// ParseObjectDef reads, and what every list, file and edit of a definition names.
inline constexpr std::array<ObjectDefField, 9> kObjectDefFields = {{{"word0", 2, &ObjectDef::word0},
                                                                    {"hotspotX", 2, &ObjectDef::hotspotX},
                                                                    {"hotspotY", 2, &ObjectDef::hotspotY},
                                                                    {"word6", 2, &ObjectDef::word6},
                                                                    {"word8", 2, &ObjectDef::word8},
                                                                    {"byte10", 1, &ObjectDef::byte10},
                                                                    {"byte11", 1, &ObjectDef::byte11},
                                                                    {"bitmapId", 2, &ObjectDef::bitmapId},
                                                                    {"word14", 2, &ObjectDef::word14}}};

// The three tables of a library, keyed by chunk number taken as a signed 32-bit value (so
// number 0x80000000 comes before 0 in a walk). The library owns every value. A frame set's
// `number` is its key's chunk number. `objectDefs` keeps a null value for an OJFF chunk that
// was not 16 bytes long.
struct ObjectLibrary {
  std::map<std::int32_t, std::unique_ptr<FrameSet>> bmpSets;
  std::map<std::int32_t, std::unique_ptr<FrameSet>> cbmpSets;
  std::map<std::int32_t, std::unique_ptr<ObjectDef>> objectDefs;
};

// Reads a library file. Null when it cannot be opened, does not begin with "GFFI", or is too
// short to reach its directory; otherwise a library, whose tables may be empty. The notes of the
// reading and decoding go to `report`, narrowed to the file, its chunks and frames.
std::unique_ptr<ObjectLibrary> LoadObjectLibrary(const std::string& path, const LoadReport& report);

// The same load from a container opened by the caller. Null when `file` is not open. The file
// is closed when the load returns.
std::unique_ptr<ObjectLibrary> LoadObjectLibrary(GffFile& file, const LoadReport& report);

// The definition in a 16-byte OJFF payload from chunk `number`; null for any other size.
std::unique_ptr<ObjectDef> ParseObjectDef(std::span<const std::uint8_t> payload, std::uint32_t number);

// The widest and tallest frame 0 an object surface holds: a surface has two spare columns and
// rows beyond the frame, and no surface side may exceed platform::kLargestSurfaceSide.
inline constexpr std::uint32_t kLargestObjectSide = platform::kLargestSurfaceSide - 2;

// Whether the object an entity names can be drawn, and if not, why. An object is drawn from
// frame 0 of the BMP frame set its definition names, and only when that frame has pixels and
// fits an object surface.
enum class ObjectDrawing {
  kDrawn,
  kNoDefinition,         // no OJFF chunk under the entity's objectId
  kWrongSizeDefinition,  // an OJFF chunk that is not 16 bytes long
  kNoBitmap,             // no BMP frame set under the definition's bitmapId
  kNoFrames,             // a BMP frame set without frames
  kNoPixels,             // frame 0 has no pixels
  kTooLarge,             // frame 0 is wider or taller than kLargestObjectSide
};

ObjectDrawing DrawingOf(const ObjectLibrary& library, std::uint32_t objectId);

struct Entity;

// Notes every entity of `entities` that the object layer passes over, with its index as the
// note's value and its kind saying why (kEntityWithoutDefinition ... kEntityBitmapTooLarge).
// Returns how many there were.
std::size_t NoteUndrawnEntities(std::span<const Entity> entities, const ObjectLibrary& library,
                                const LoadReport& report);

// The frame that draws `definition`: frame 0 of its bitmap, or null when the rule above says
// the object is not drawn.
const Frame* DrawingFrame(const ObjectLibrary& library, const ObjectDef& definition);

// True when a container's directory reads as an object library rather than a region: it has
// "OJFF", "BMP " or "CBMP" records and none of "PAL ", "TILE" and "MAP ".
bool LooksLikeObjectLibrary(const GffDirectory& directory);

}  // namespace karst
