#include "authoring/record_writers.h"

#include "authoring/byte_writer.h"

namespace karst::authoring {

std::vector<std::uint8_t> WriteEntityTable(std::span<const EntityRecord> entities) {
  ByteWriter writer;
  for (const EntityRecord& entity : entities) {
    writer.u16le(entity.x);
    writer.u16le(entity.y);
    writer.u8(entity.z);
    writer.u8(entity.flags);
    writer.u16le(entity.objectId);
  }
  return writer.take();
}

std::vector<std::uint8_t> WriteObjectDef(const ObjectDefRecord& object) {
  ByteWriter writer;
  writer.u16le(object.word0);
  writer.u16le(object.hotspotX);
  writer.u16le(object.hotspotY);
  writer.zeros(6);  // word6, word8, byte10, byte11
  writer.u16le(object.bitmapId);
  writer.u16le(0);  // word14
  return writer.take();
}

}  // namespace karst::authoring
