#include "data/region.h"

#include <algorithm>

#include "data/chunk_buffer.h"
#include "gff/byte_reader.h"
#include "gff/format.h"
#include "platform/paths.h"

namespace karst {
namespace {

// PAL, MAP and GMAP: the payload as it is. Once the stream has failed the buffer stays zeros.
void LoadRaw(GffFile& file, const ChunkEntry& entry, std::optional<std::vector<std::uint8_t>>& data,
             std::uint32_t& size, const LoadReport& report) {
  data = AllocateChunkBuffer(file, entry, report);
  size = data ? entry.size : 0;
  if (data && SeekToChunk(file, entry, report)) {
    ReadChunk(file, *data, report);
  }
}

void LoadName(GffFile& file, const ChunkEntry& entry, Region& region, const LoadReport& report) {
  // The name itself is paid for besides the buffer it is read into.
  std::optional<std::vector<std::uint8_t>> buffer = AllocateChunkBuffer(file, entry, report, entry.size);
  if (!buffer) {
    region.name.reset();
    return;
  }
  if (SeekToChunk(file, entry, report)) {
    ReadChunk(file, *buffer, report);
  }
  // A chunk that could not be read is "".
  region.name.emplace(buffer->begin(), buffer->begin() + static_cast<std::ptrdiff_t>(RegionNameLength(*buffer)));
}

void LoadTiles(GffFile& file, const ChunkEntryList& entries, Region& region, const LoadReport& report) {
  region.tiles.clear();
  region.tileCount = 0;
  region.tilesRead = 0;
  const auto count = static_cast<std::size_t>(entries.count());
  if (!file.budget().Take(std::uint64_t{count} * sizeof(FrameSet))) {
    const bool failedBefore = file.StreamFailed();
    file.FailStream();
    report.ForType(kTagTile).Note(failedBefore ? NoteKind::kChunkPassedOver : NoteKind::kChunkOverBudget);
    return;
  }
  region.tiles.resize(count);
  region.tileCount = entries.count();
  for (const ChunkEntry& entry : entries) {
    const LoadReport chunkReport = report.ForChunk(kTagTile, entry);
    if (!SeekToChunk(file, entry, chunkReport)) {
      continue;
    }
    std::optional<std::vector<std::uint8_t>> payload = AllocateChunkBuffer(file, entry, chunkReport);
    if (!payload) {
      continue;
    }
    // A short read leaves zeros behind the bytes that arrived; those are decoded as they are.
    ReadChunk(file, *payload, chunkReport);
    FrameSet& tile = region.tiles[static_cast<std::size_t>(region.tilesRead++)];
    DecodeFrameSet(tile, *payload, file.budget(), chunkReport);
    tile.number = entry.number;
  }
}

void LoadEntities(GffFile& file, const ChunkEntry& entry, Region& region, const LoadReport& report) {
  const std::uint64_t tableCost = std::uint64_t{entry.size / kEntityRecordSize} * sizeof(Entity);
  std::optional<std::vector<std::uint8_t>> payload = AllocateChunkBuffer(file, entry, report, tableCost);
  // Only a table that was read replaces an earlier one: once the stream has failed, a later ETAB
  // leaves the table as it was. A read that merely comes up short still counts, zeros and all.
  if (!payload || !SeekToChunk(file, entry, report)) {
    return;
  }
  ReadChunk(file, *payload, report);
  region.entities = ParseEntities(*payload);
  region.entityCount = region.entities ? static_cast<std::int32_t>(region.entities->size()) : 0;
  region.entityChunk = entry;
  if (!region.entities) {
    report.Note(NoteKind::kEntityTableRejected, entry.size);
  }
}

}  // namespace

std::unique_ptr<Region> LoadRegion(const std::string& path, const LoadReport& report) {
  const LoadReport fileReport = report.ForFile(path);
  GffFile file;
  if (!file.Open(platform::NativePath(path), fileReport)) {
    return nullptr;
  }
  return LoadRegion(file, fileReport);
}

std::unique_ptr<Region> LoadRegion(GffFile& file, const LoadReport& report) {
  if (!file.IsOpen()) {
    return nullptr;
  }
  auto region = std::make_unique<Region>();
  // A tag met again in a later record replaces what the earlier record gave.
  for (const ChunkType& type : file.directory()) {
    if (!type.entries) {
      continue;
    }
    if (SameTag(type.tag, kTagTile)) {
      LoadTiles(file, *type.entries, *region, report);
      continue;
    }
    const ChunkEntry* first = FirstChunk(type);
    if (first == nullptr) {
      continue;
    }
    const LoadReport chunkReport = report.ForChunk(type.tag, *first);
    if (SameTag(type.tag, kTagPal)) {
      LoadRaw(file, *first, region->paletteData, region->paletteSize, chunkReport);
      region->paletteChunk = region->paletteData ? std::optional(*first) : std::nullopt;
    } else if (SameTag(type.tag, kTagMap)) {
      LoadRaw(file, *first, region->mapData, region->mapSize, chunkReport);
      region->mapChunk = region->mapData ? std::optional(*first) : std::nullopt;
    } else if (SameTag(type.tag, kTagGmap)) {
      LoadRaw(file, *first, region->gmapData, region->gmapSize, chunkReport);
    } else if (SameTag(type.tag, kTagRnme)) {
      LoadName(file, *first, *region, chunkReport);
    } else if (SameTag(type.tag, kTagEtab)) {
      LoadEntities(file, *first, *region, chunkReport);
    }
  }
  file.Close();
  return region;
}

std::size_t RegionNameLength(std::span<const std::uint8_t> payload) {
  return static_cast<std::size_t>(std::find(payload.begin(), payload.end(), std::uint8_t{0}) - payload.begin());
}

std::vector<std::size_t> TakenChunks(const GffDirectory& directory, const Tag& tag) {
  std::vector<std::size_t> taken;
  std::size_t position = 0;
  for (const ChunkType& type : directory) {
    if (!type.entries) {
      continue;
    }
    if (SameTag(type.tag, tag)) {
      if (SameTag(tag, kTagTile)) {
        taken.clear();
        for (std::size_t i = 0; i < static_cast<std::size_t>(type.entries->count()); ++i) {
          taken.push_back(position + i);
        }
      } else if (FirstChunk(type) != nullptr) {
        taken = {position};
      }
    }
    position += static_cast<std::size_t>(type.entries->count());
  }
  return taken;
}

std::optional<std::vector<Entity>> ParseEntities(std::span<const std::uint8_t> payload) {
  if (payload.size() % kEntityRecordSize != 0) {
    return std::nullopt;
  }
  std::vector<Entity> entities(payload.size() / kEntityRecordSize);
  ByteReader reader(payload);
  for (Entity& entity : entities) {
    entity.x = reader.u16le();
    entity.y = reader.u16le();
    entity.z = reader.u8();
    entity.flags = reader.u8();
    entity.objectId = reader.u16le();
  }
  return entities;
}

}  // namespace karst
