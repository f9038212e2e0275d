#include "authoring/sample_world.h"

#include <optional>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/sample_objects.h"
#include "authoring/sample_regions.h"
#include "gff/format.h"

namespace karst::authoring {
namespace {

// Chunk numbers of the single chunks of a region file.
constexpr std::uint32_t kNameNumber = 10;
constexpr std::uint32_t kPaletteNumber = 3;
constexpr std::uint32_t kMapNumber = 7;
constexpr std::uint32_t kOverviewNumber = 2;
constexpr std::uint32_t kEntityTableNumber = 5;
// Flags of plain records; anything but 0x8000 keeps a record plain.
constexpr std::uint16_t kOverviewFlags = 0x0001;
constexpr std::uint16_t kThumbnailFlags = 0x0100;

std::optional<std::vector<std::uint8_t>> EncodeFrame(const SampleFrame& frame) {
  switch (frame.encoding) {
    case FrameEncoding::kNrml:
      return EncodeNrmlFrame(frame.image);
    case FrameEncoding::kPlan:
      return EncodePlanFrame(frame.image);
    case FrameEncoding::kPlnr:
      return EncodePlnrFrame(frame.image);
    case FrameEncoding::kBlank:
      return EncodeBlankFrame(static_cast<std::uint16_t>(frame.image.width),
                              static_cast<std::uint16_t>(frame.image.height));
  }
  return std::nullopt;
}

std::vector<std::uint8_t> RegionNameBytes(const std::string& name) { return {name.begin(), name.end()}; }

WorldFile RegionFile(const SampleRegion& region) {
  ChunkTypeSpec tiles{kTagTile, {}, true};
  for (std::size_t i = 0; i < region.tiles.size(); ++i) {
    tiles.chunks.push_back({region.tileNumbers[i], SampleFrameSetPayload({region.tiles[i]})});
  }
  return {region.fileName, WriteContainer({
                               {kTagRnme, {{kNameNumber, RegionNameBytes(region.name)}}},
                               {kTagPal, {{kPaletteNumber, region.palette}}},
                               tiles,
                               {kTagMap, {{kMapNumber, region.map}}},
                               {kTagGmap, {{kOverviewNumber, region.gmap}}, false, kOverviewFlags},
                               {kTagEtab, {{kEntityTableNumber, WriteEntityTable(region.entities)}}},
                           })};
}

WorldFile ObjectLibraryFile(const std::vector<SampleObject>& objects) {
  ChunkTypeSpec definitions{kTagOjff, {}};
  ChunkTypeSpec bitmaps{kTagBmp, {}, true};
  ChunkTypeSpec thumbnails{kTagCbmp, {}, false, kThumbnailFlags};
  for (const SampleObject& object : objects) {
    definitions.chunks.push_back(
        {object.objectId, WriteObjectDef({object.kind, object.hotspotX, object.hotspotY, object.bitmapId})});
    bitmaps.chunks.push_back({object.bitmapId, SampleFrameSetPayload(object.frames)});
    if (!object.thumbnail.empty()) {
      thumbnails.chunks.push_back({object.bitmapId, SampleFrameSetPayload(object.thumbnail)});
    }
  }
  return {kObjectLibraryFileName, WriteContainer({definitions, bitmaps, thumbnails})};
}

}  // namespace

std::vector<std::uint8_t> SampleFrameSetPayload(const std::vector<SampleFrame>& frames) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const SampleFrame& frame : frames) {
    // Our pictures are all small enough for every encoding; a frame that could not be encoded
    // would be stored blank rather than lost from the table.
    encoded.push_back(EncodeFrame(frame).value_or(EncodeBlankFrame(static_cast<std::uint16_t>(frame.image.width),
                                                                   static_cast<std::uint16_t>(frame.image.height))));
  }
  return WriteFrameSetPayload(encoded).value_or(std::vector<std::uint8_t>{});
}

SampleWorld MakeSampleWorldContent() { return {MakeSampleRegions(), MakeSampleObjects()}; }

std::vector<WorldFile> WriteSampleWorld(const SampleWorld& world) {
  std::vector<WorldFile> files;
  for (const SampleRegion& region : world.regions) {
    files.push_back(RegionFile(region));
  }
  files.push_back(ObjectLibraryFile(world.objects));
  return files;
}

std::vector<WorldFile> MakeSampleWorld() { return WriteSampleWorld(MakeSampleWorldContent()); }

}  // namespace karst::authoring
