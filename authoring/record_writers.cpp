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
  writer.u16le(object.word6);
  writer.u16le(object.word8);
  writer.u8(object.byte10);
  writer.u8(object.byte11);
  writer.u16le(object.bitmapId);
  writer.u16le(object.word14);
  return writer.take();
}

}  // namespace karst::authoring
