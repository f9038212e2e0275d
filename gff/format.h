// Constants of the GFF container and frame-set formats, shared by the readers in gff/ and
// the writers in authoring/.
//
// Tags are four characters, padded with blanks on the right ("PAL ", "MAP ", "BMP "), held
// with a terminating zero byte and compared on all four characters, case-sensitive.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace karst {

// Four tag characters and a terminating zero byte.
using Tag = std::array<char, 5>;

constexpr Tag MakeTag(const char (&text)[5]) { return {text[0], text[1], text[2], text[3], '\0'}; }

// Compares the four tag characters, byte for byte.
constexpr bool SameTag(const Tag& a, const Tag& b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

// The tag as text, up to a zero byte among its four characters.
inline std::string TagText(const Tag& tag) {
  std::string text;
  for (int i = 0; i < 4 && tag[static_cast<std::size_t>(i)] != '\0'; ++i) {
    text.push_back(tag[static_cast<std::size_t>(i)]);
  }
  return text;
}

// The tag as people write it: its text without the trailing blanks ("BMP " -> "BMP").
inline std::string TagName(const Tag& tag) {
  std::string text = TagText(tag);
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text;
}

// Container magic and index chunks.
inline constexpr Tag kTagGffi = MakeTag("GFFI");
// Region files.
inline constexpr Tag kTagPal = MakeTag("PAL ");
inline constexpr Tag kTagTile = MakeTag("TILE");
inline constexpr Tag kTagMap = MakeTag("MAP ");
inline constexpr Tag kTagGmap = MakeTag("GMAP");
inline constexpr Tag kTagRnme = MakeTag("RNME");
inline constexpr Tag kTagEtab = MakeTag("ETAB");
// The object library.
inline constexpr Tag kTagOjff = MakeTag("OJFF");
inline constexpr Tag kTagBmp = MakeTag("BMP ");
inline constexpr Tag kTagCbmp = MakeTag("CBMP");
// Frame encodings.
inline constexpr Tag kTagNrml = MakeTag("NRML");
inline constexpr Tag kTagPlnr = MakeTag("PLNR");
inline constexpr Tag kTagPlan = MakeTag("PLAN");

// The chunk types whose payloads are frame sets.
constexpr bool IsFrameSetTag(const Tag& tag) {
  return SameTag(tag, kTagTile) || SameTag(tag, kTagBmp) || SameTag(tag, kTagCbmp);
}

// Whether index 0 of a frame of this chunk type shows what lies behind it: the object layer draws
// bitmaps with colour key 0; tiles are opaque.
constexpr bool IndexZeroIsTransparent(const Tag& tag) { return !SameTag(tag, kTagTile); }

// Container layout.
inline constexpr std::uint32_t kHeaderSize = 16;               // magic, 8 unread bytes, u32 D
inline constexpr std::uint32_t kDirectoryHeaderSize = 10;      // 4 unread, u32 L, 2 unread
inline constexpr std::uint32_t kChunkTypeHeaderSize = 8;       // tag, u16 count, u16 flags
inline constexpr std::uint32_t kPlainEntrySize = 12;           // number, offset, size
inline constexpr std::uint32_t kIndexedRecordHeaderSize = 20;  // + 4 unread, key, R
inline constexpr std::uint32_t kIndexRunSize = 8;              // first number, length
inline constexpr std::uint32_t kIndexPairSize = 8;             // offset, size
inline constexpr std::uint16_t kIndexedFlags = 0x8000;         // exactly this selects the indexed form

// Frame sets.
inline constexpr std::uint32_t kFrameSetTableStart = 6;  // 4 unread bytes, u16 F, then u32 offsets
inline constexpr std::uint32_t kFrameHeaderSize = 5;     // u16 width, u16 height, u8 first row
inline constexpr std::uint8_t kNotNrmlMarker = 255;      // frame byte 4 of blank and tagged frames
inline constexpr std::uint8_t kEndOfFrameRow = 255;      // NRML: next-row byte that ends the frame
inline constexpr std::uint8_t kLastSegmentOfRow = 128;   // NRML: header byte 1 at or above ends a row

// Sizes the region and the drawing rely on.
inline constexpr int kTileSize = 16;
inline constexpr int kMapColumns = 128;
inline constexpr int kMapRows = 96;
inline constexpr int kRegionWidth = kMapColumns * kTileSize;        // 2048
inline constexpr int kRegionHeight = kMapRows * kTileSize;          // 1536
inline constexpr std::uint32_t kMapBytes = kMapColumns * kMapRows;  // 12288
inline constexpr std::uint32_t kPaletteBytes = 768;
inline constexpr std::uint32_t kEntityRecordSize = 8;
inline constexpr std::uint32_t kObjectDefSize = 16;

}  // namespace karst
