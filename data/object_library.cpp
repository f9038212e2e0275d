#include "data/object_library.h"

#include "data/chunk_buffer.h"
#include "data/region.h"
#include "gff/byte_reader.h"
#include "gff/format.h"
#include "platform/paths.h"

namespace karst {
namespace {

static_assert(
    [] {
      std::size_t bytes = 0;
      for (const ObjectDefField& field : kObjectDefFields) {
        bytes += field.width;
      }
      return bytes == kObjectDefSize;
    }(),
    "the fields fill the 16-byte definition");

// What entering one chunk costs besides its payload: the table node and the value behind it.
constexpr std::uint64_t kTableEntryCost = 128;

enum class ObjectChunkKind { kBmp, kCbmp, kOjff };

std::optional<ObjectChunkKind> KindOf(const Tag& tag) {
  if (SameTag(tag, kTagBmp)) {
    return ObjectChunkKind::kBmp;
  }
  if (SameTag(tag, kTagCbmp)) {
    return ObjectChunkKind::kCbmp;
  }
  if (SameTag(tag, kTagOjff)) {
    return ObjectChunkKind::kOjff;
  }
  return std::nullopt;
}

std::unique_ptr<FrameSet> DecodeNumberedFrameSet(std::span<const std::uint8_t> payload, std::uint32_t number,
                                                 AllocationBudget& budget, const LoadReport& report) {
  auto frameSet = std::make_unique<FrameSet>();
  DecodeFrameSet(*frameSet, payload, budget, report);
  frameSet->number = number;
  return frameSet;
}

}  // namespace

std::unique_ptr<ObjectLibrary> LoadObjectLibrary(const std::string& path, const LoadReport& report) {
  const LoadReport fileReport = report.ForFile(path);
  GffFile file;
  if (!file.Open(platform::NativePath(path), fileReport)) {
    return nullptr;
  }
  return LoadObjectLibrary(file, fileReport);
}

std::unique_ptr<ObjectLibrary> LoadObjectLibrary(GffFile& file, const LoadReport& report) {
  if (!file.IsOpen()) {
    return nullptr;
  }
  auto library = std::make_unique<ObjectLibrary>();
  for (const ChunkType& type : file.directory()) {
    const std::optional<ObjectChunkKind> kind = KindOf(type.tag);
    if (!kind || !type.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *type.entries) {
      const LoadReport chunkReport = report.ForChunk(type.tag, entry);
      // Once the stream has failed, every later seek fails and the rest of the file is passed over.
      if (!SeekToChunk(file, entry, chunkReport)) {
        continue;
      }
      std::optional<std::vector<std::uint8_t>> payload = AllocateChunkBuffer(file, entry, chunkReport, kTableEntryCost);
      if (!payload) {
        continue;
      }
      // Bytes the file does not have stay zero and are decoded as such.
      ReadChunk(file, *payload, chunkReport);
      const auto key = static_cast<std::int32_t>(entry.number);
      switch (*kind) {
        case ObjectChunkKind::kBmp:
          library->bmpSets[key] = DecodeNumberedFrameSet(*payload, entry.number, file.budget(), chunkReport);
          break;
        case ObjectChunkKind::kCbmp:
          library->cbmpSets[key] = DecodeNumberedFrameSet(*payload, entry.number, file.budget(), chunkReport);
          break;
        case ObjectChunkKind::kOjff:
          library->objectDefs[key] = ParseObjectDef(*payload, entry.number);
          break;
      }
    }
  }
  file.Close();
  return library;
}

std::unique_ptr<ObjectDef> ParseObjectDef(std::span<const std::uint8_t> payload, std::uint32_t number) {
  if (payload.size() != kObjectDefSize) {
    return nullptr;
  }
  ByteReader reader(payload);
  auto def = std::make_unique<ObjectDef>();
  for (const ObjectDefField& field : kObjectDefFields) {
    (*def).*field.member = field.width == 1 ? std::uint32_t{reader.u8()} : std::uint32_t{reader.u16le()};
  }
  def->id = number;
  return def;
}

namespace {

ObjectDrawing BitmapDrawing(const ObjectLibrary& library, const ObjectDef& definition, const Frame** frame) {
  // Chunk numbers are keys taken as signed 32-bit values.
  const auto frameSet = library.bmpSets.find(static_cast<std::int32_t>(definition.bitmapId));
  if (frameSet == library.bmpSets.end() || frameSet->second == nullptr) {
    return ObjectDrawing::kNoBitmap;
  }
  if (frameSet->second->frames.empty()) {
    return ObjectDrawing::kNoFrames;
  }
  if (!frameSet->second->frames[0].HasPixels()) {
    return ObjectDrawing::kNoPixels;
  }
  // The object layer draws from a surface, and no surface is made for such a frame.
  if (frameSet->second->frames[0].width > kLargestObjectSide ||
      frameSet->second->frames[0].height > kLargestObjectSide) {
    return ObjectDrawing::kTooLarge;
  }
  *frame = &frameSet->second->frames[0];
  return ObjectDrawing::kDrawn;
}

}  // namespace

ObjectDrawing DrawingOf(const ObjectLibrary& library, std::uint32_t objectId) {
  const auto definition = library.objectDefs.find(static_cast<std::int32_t>(objectId));
  if (definition == library.objectDefs.end()) {
    return ObjectDrawing::kNoDefinition;
  }
  if (definition->second == nullptr) {
    return ObjectDrawing::kWrongSizeDefinition;
  }
  const Frame* frame = nullptr;
  return BitmapDrawing(library, *definition->second, &frame);
}

std::size_t NoteUndrawnEntities(std::span<const Entity> entities, const ObjectLibrary& library,
                                const LoadReport& report) {
  std::size_t undrawn = 0;
  for (std::size_t index = 0; index < entities.size(); ++index) {
    const ObjectDrawing drawing = DrawingOf(library, entities[index].objectId);
    if (drawing == ObjectDrawing::kDrawn) {
      continue;
    }
    ++undrawn;
    NoteKind kind = NoteKind::kEntityBitmapWithoutPixels;
    switch (drawing) {
      case ObjectDrawing::kNoDefinition:
        kind = NoteKind::kEntityWithoutDefinition;
        break;
      case ObjectDrawing::kWrongSizeDefinition:
        kind = NoteKind::kEntityDefinitionWrongSize;
        break;
      case ObjectDrawing::kNoBitmap:
        kind = NoteKind::kEntityWithoutBitmap;
        break;
      case ObjectDrawing::kNoFrames:
        kind = NoteKind::kEntityBitmapWithoutFrames;
        break;
      case ObjectDrawing::kTooLarge:
        kind = NoteKind::kEntityBitmapTooLarge;
        break;
      default:
        break;
    }
    report.Note(kind, index);
  }
  return undrawn;
}

const Frame* DrawingFrame(const ObjectLibrary& library, const ObjectDef& definition) {
  const Frame* frame = nullptr;
  BitmapDrawing(library, definition, &frame);
  return frame;
}

bool LooksLikeObjectLibrary(const GffDirectory& directory) {
  bool libraryTags = false;
  bool regionTags = false;
  for (const ChunkType& record : directory) {
    libraryTags =
        libraryTags || SameTag(record.tag, kTagOjff) || SameTag(record.tag, kTagBmp) || SameTag(record.tag, kTagCbmp);
    regionTags =
        regionTags || SameTag(record.tag, kTagPal) || SameTag(record.tag, kTagTile) || SameTag(record.tag, kTagMap);
  }
  return libraryTags && !regionTags;
}

}  // namespace karst
