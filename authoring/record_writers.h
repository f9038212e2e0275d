// Writes the fixed-size records of the game data: entity table entries (ETAB) and object
// definitions (OJFF).
//
//   entity, 8 bytes           | 0-1 u16 x | 2-3 u16 y | 4 u8 z | 5 u8 flags (0x80 mirrored) | 6-7 u16 objectId
//   object definition, 16 bytes | 0-1 u16 word0 | 2-3 u16 hotspotX | 4-5 u16 hotspotY | 6-7 u16 word6
//                             | 8-9 u16 word8 | 10 u8 byte10 | 11 u8 byte11 | 12-13 u16 bitmapId
//                             | 14-15 u16 word14
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace karst::authoring {

struct EntityRecord {
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint8_t z = 0;
  std::uint8_t flags = 0;  // 0x80: mirrored
  std::uint16_t objectId = 0;
};

// Every field of an object definition; those the viewer does not read are 0 unless given.
struct ObjectDefRecord {
  std::uint16_t word0 = 0;
  std::uint16_t hotspotX = 0;
  std::uint16_t hotspotY = 0;
  std::uint16_t bitmapId = 0;
  std::uint16_t word6 = 0;
  std::uint16_t word8 = 0;
  std::uint8_t byte10 = 0;
  std::uint8_t byte11 = 0;
  std::uint16_t word14 = 0;
};

// An ETAB payload: the records one after the other, no header.
std::vector<std::uint8_t> WriteEntityTable(std::span<const EntityRecord> entities);
// An OJFF payload of 16 bytes.
std::vector<std::uint8_t> WriteObjectDef(const ObjectDefRecord& object);

}  // namespace karst::authoring
