#include "tools/pack/unpack_folder.h"

#include <algorithm>
#include <array>
#include <string_view>

#include <nlohmann/json.hpp>

#include "data/file_problems.h"
#include "data/object_library.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "tools/files/unique_names.h"
#include "tools/pictures/gimp_palette.h"
#include "tools/pictures/region_palette.h"
#include "tools/text/content_hash.h"
#include "tools/text/json_text.h"
#include "tools/tiled/tiled_map.h"

namespace karst::tools {
namespace {

// objects.json names first the fields that draw the object, then the others in file order.
constexpr std::array<std::string_view, 3> kDrawingFieldsFirst = {"bitmapId", "hotspotX", "hotspotY"};

std::span<const std::uint8_t> PayloadOf(std::span<const std::uint8_t> bytes, const Manifest& manifest,
                                        std::size_t index) {
  const Span span = manifest.InFile(index);
  return bytes.subspan(span.offset, span.length);
}

bool WholeInFile(const Manifest& manifest, std::size_t index) {
  return PayloadWithin(manifest.chunks[index].Entry(), manifest.size);
}

void AddFile(Unpacked& unpacked, const std::string& name, std::vector<std::uint8_t> bytes) {
  unpacked.manifest.hashes[name] = ContentHash(bytes);
  unpacked.files[name] = std::move(bytes);
}

std::vector<std::uint8_t> TextBytes(const std::string& text) { return {text.begin(), text.end()}; }

void AddPictures(std::span<const std::uint8_t> bytes, const UnpackOptions& options, const std::string& paletteKey,
                 Unpacked& unpacked) {
  Manifest& manifest = unpacked.manifest;
  const PngPalette& palette = manifest.palettes.at(paletteKey);
  for (std::size_t index = 0; index < manifest.chunks.size(); ++index) {
    const Tag& tag = manifest.RecordOf(manifest.chunks[index]).tag;
    if (!IsFrameSetTag(tag) || !WholeInFile(manifest, index)) {
      continue;
    }
    const std::span<const std::uint8_t> payload = PayloadOf(bytes, manifest, index);
    AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size(), options.budgetBase);
    FrameSet frameSet;
    DecodeFrameSet(frameSet, payload, budget, LoadReport());
    const bool transparentZero = IndexZeroIsTransparent(tag);
    for (std::size_t frame = 0; frame < frameSet.frames.size(); ++frame) {
      const Frame& decoded = frameSet.frames[frame];
      const std::string file = "frames/" + manifest.chunks[index].name + "-" + std::to_string(frame) + ".png";
      if (!decoded.HasPixels()) {
        // A frame of no size has nothing to show; one with a size got no pixels because they
        // could not be held.
        if (const std::uint64_t pixels = std::uint64_t{decoded.width} * decoded.height; pixels > 0) {
          unpacked.leftOut.push_back(
              file + ": " + std::to_string(decoded.width) + " x " + std::to_string(decoded.height) + " pixels, " +
              (pixels > kMaxFramePixels ? "more than one frame may hold" : "more than a load of this chunk may take"));
        }
        continue;
      }
      std::optional<std::vector<std::uint8_t>> png =
          EncodeIndexedPng(decoded.width, decoded.height, decoded.pixels, palette,
                           transparentZero ? PngTransparency::kIndexZero : PngTransparency::kOpaque);
      if (!png) {
        unpacked.leftOut.push_back(file + ": " + std::to_string(decoded.width) + " x " +
                                   std::to_string(decoded.height) + " pixels, too large for a PNG");
        continue;
      }
      manifest.pictures.push_back({file, index, static_cast<std::uint32_t>(frame), paletteKey, transparentZero});
      AddFile(unpacked, file, std::move(*png));
    }
  }
}

// palette.gpl and name.txt for a region whose palette chunk the file holds whole; false when
// it is no such region.
bool AddRegionForms(std::span<const std::uint8_t> bytes, const RegionParts& parts, Unpacked& unpacked) {
  Manifest& manifest = unpacked.manifest;
  const std::optional<std::size_t>& palette = parts.palette;
  if (!palette || !WholeInFile(manifest, *palette) || manifest.chunks[*palette].size < kPaletteBytes) {
    return false;
  }
  const PngPalette colours = PngPaletteOf(ConvertPalette(PayloadOf(bytes, manifest, *palette)));
  manifest.palettes[kRegionPaletteKey] = colours;
  std::string regionName = manifest.source;
  const std::optional<std::size_t>& name = parts.name;
  if (name && WholeInFile(manifest, *name)) {
    const std::span<const std::uint8_t> payload = PayloadOf(bytes, manifest, *name);
    regionName = ByteText(
        std::string(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(RegionNameLength(payload))));
    manifest.nameFile = ManifestForm{kNameFileName, *name};
    AddFile(unpacked, kNameFileName, TextBytes(regionName));
  }
  manifest.paletteFile = ManifestForm{kPaletteFileName, *palette};
  AddFile(unpacked, kPaletteFileName, TextBytes(GimpPaletteText(colours, regionName)));
  return true;
}

// The frame each tile of `region` comes from, in map order: its picture, or the chunk's frame 0
// when that has none. The tiles are the chunks of `tileChunks` that could be read, in order.
std::vector<std::string> TileFrames(const Region& region, const Manifest& manifest,
                                    const std::vector<std::size_t>& chunks) {
  std::vector<std::string> frames;
  auto next = chunks.begin();
  for (std::int32_t tile = 0; tile < region.tilesRead; ++tile) {
    next = std::find_if(next, chunks.end(), [&](std::size_t i) {
      return manifest.chunks[i].number == region.tiles[static_cast<std::size_t>(tile)].number;
    });
    if (next == chunks.end()) {
      break;
    }
    const auto picture = std::find_if(manifest.pictures.begin(), manifest.pictures.end(),
                                      [&](const ManifestPicture& p) { return p.chunk == *next && p.frame == 0; });
    frames.push_back(picture != manifest.pictures.end()
                         ? picture->file
                         : manifest.chunks[*next].name + " frame 0, which has no picture");
    ++next;
  }
  return frames;
}

// Why the region behind the map did not load whole: the first chunk it could not read for want of
// memory; empty when every chunk was in reach of the budget.
std::string OverBudgetChunk(const std::vector<LoadNote>& notes) {
  for (const LoadNote& note : notes) {
    if (note.kind == NoteKind::kChunkOverBudget) {
      return TagName(note.tag) + (note.chunk ? " " + std::to_string(note.chunk->number) : std::string()) + " " +
             std::string(UnreadChunkText(note.kind));
    }
  }
  return {};
}

// map.tmj and its tilesets for a region the viewer shows, its objects drawn with `objects`. A
// region that the load's budget cannot hold gets no map, and the unpack says so.
void AddTiledMap(std::span<const std::uint8_t> bytes, const UnpackOptions& options, const RegionParts& parts,
                 Unpacked& unpacked) {
  std::vector<LoadNote> notes;
  GffFile file;
  if (!file.OpenBytes({bytes.begin(), bytes.end()}, LoadReport::Into(notes), options.budgetBase)) {
    return;
  }
  const std::unique_ptr<Region> region = LoadRegion(file, LoadReport::Into(notes));
  Manifest& manifest = unpacked.manifest;
  const std::optional<std::size_t>& map = parts.map;
  if (const std::string overBudget = OverBudgetChunk(notes); !overBudget.empty()) {
    unpacked.leftOut.push_back(std::string(kTiledMapFile) + ": " + overBudget);
    return;
  }
  if (region == nullptr || !RegionRejections(*region).empty() || !map) {
    return;
  }
  const TiledFiles tiled = TiledFilesOf(*region, options.objects, TileFrames(*region, manifest, parts.tiles));
  AddFile(unpacked, std::string(kTiledMapFile), TextBytes(tiled.map));
  AddFile(unpacked, std::string(kTiledTilesTileset), TextBytes(tiled.tilesTileset));
  if (tiled.objectsTileset) {
    AddFile(unpacked, std::string(kTiledObjectsTileset), TextBytes(*tiled.objectsTileset));
  }
  for (const TiledPicture& picture : tiled.pictures) {
    std::optional<std::vector<std::uint8_t>> png =
        EncodeIndexedPng(picture.width, picture.height, picture.pixels, tiled.palette, picture.transparency);
    if (png) {
      AddFile(unpacked, picture.path, std::move(*png));
    }
  }
  manifest.mapFile =
      ManifestMap{std::string(kTiledMapFile),
                  *map,
                  parts.entities,
                  parts.name,
                  region->tileCount,
                  tiled.objectsTileset ? std::optional<std::string>(kTiledObjectsTileset) : std::nullopt};
}

void AddObjects(Unpacked& unpacked) {
  Manifest& manifest = unpacked.manifest;
  for (std::size_t index = 0; index < manifest.chunks.size(); ++index) {
    const ManifestChunk& chunk = manifest.chunks[index];
    if (SameTag(manifest.RecordOf(chunk).tag, kTagOjff) && chunk.size == kObjectDefSize &&
        WholeInFile(manifest, index)) {
      manifest.objectChunks.push_back(index);
    }
  }
  manifest.objectsFile = kObjectsFileName;
  AddFile(unpacked, kObjectsFileName, TextBytes(ObjectsText(manifest, unpacked.files)));
}

}  // namespace

bool ReadContainerDirectory(std::span<const std::uint8_t> bytes, std::uint64_t budgetBase, Manifest& manifest,
                            ContainerKind* kind) {
  if (bytes.size() < kHeaderSize || !std::equal(kTagGffi.begin(), kTagGffi.begin() + 4, bytes.begin())) {
    return false;
  }
  manifest.size = bytes.size();
  GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), LoadReport(), budgetBase)) {
    return true;  // a directory out of the reader's reach: no chunks, every byte in rest.bin
  }
  manifest.directoryOffset = file.directoryPosition();
  manifest.directoryLength = file.directoryLength();
  if (kind != nullptr) {
    kind->library = LooksLikeObjectLibrary(file.directory());
    const auto taken = [&](const Tag& tag) {
      const std::vector<std::size_t> chunks = TakenChunks(file.directory(), tag);
      return chunks.empty() ? std::nullopt : std::optional<std::size_t>(chunks.front());
    };
    kind->region = {taken(kTagPal), taken(kTagMap), taken(kTagRnme), taken(kTagEtab),
                    TakenChunks(file.directory(), kTagTile)};
  }
  UniqueNames names;
  for (const ChunkType& record : file.directory()) {
    manifest.records.push_back({record.tag, record.IsIndexed(), record.count, record.flags});
    if (!record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      manifest.chunks.push_back({manifest.records.size() - 1, names.Claim(ChunkStem(record.tag, entry.number)),
                                 entry.number, entry.offset, entry.size, entry.offsetFieldAt});
    }
  }
  return true;
}

std::vector<Span> UncoveredSpans(const Manifest& manifest) {
  std::vector<Span> covered;
  for (std::size_t i = 0; i < manifest.chunks.size(); ++i) {
    if (const Span span = manifest.InFile(i); span.length > 0) {
      covered.push_back(span);
    }
  }
  std::sort(covered.begin(), covered.end(), [](const Span& a, const Span& b) { return a.offset < b.offset; });
  std::vector<Span> rest;
  std::uint64_t position = 0;
  for (const Span& span : covered) {
    if (span.offset > position) {
      rest.push_back({position, span.offset - position});
    }
    position = std::max(position, span.offset + span.length);
  }
  if (position < manifest.size) {
    rest.push_back({position, manifest.size - position});
  }
  return rest;
}

std::optional<Unpacked> UnpackContainer(std::span<const std::uint8_t> bytes, const UnpackOptions& options,
                                        std::string& error) {
  Unpacked unpacked;
  Manifest& manifest = unpacked.manifest;
  manifest.source = options.source;
  manifest.sourceHash = ContentHash(bytes);
  ContainerKind container;
  if (!ReadContainerDirectory(bytes, options.budgetBase, manifest, &container)) {
    error = "not a GFF container: its first 16 bytes are missing or do not begin with \"GFFI\"";
    return std::nullopt;
  }
  for (std::size_t index = 0; index < manifest.chunks.size(); ++index) {
    const std::span<const std::uint8_t> payload = PayloadOf(bytes, manifest, index);
    AddFile(unpacked, manifest.chunks[index].File(), {payload.begin(), payload.end()});
  }
  manifest.rest = UncoveredSpans(manifest);
  std::vector<std::uint8_t> rest;
  for (const Span& span : manifest.rest) {
    rest.insert(rest.end(), bytes.begin() + static_cast<std::ptrdiff_t>(span.offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(span.offset + span.length));
  }
  AddFile(unpacked, kRestName, std::move(rest));

  std::string paletteKey = kGreyPaletteKey;
  const bool library = container.library;
  if (!library && AddRegionForms(bytes, container.region, unpacked)) {
    unpacked.kind = "region";
    paletteKey = kRegionPaletteKey;
  } else if (options.libraryColours) {
    manifest.palettes[kLibraryPaletteKey] = *options.libraryColours;
    paletteKey = kLibraryPaletteKey;
  }
  if (paletteKey == kGreyPaletteKey) {
    manifest.palettes[kGreyPaletteKey] = GreyPalette();
  }
  if (library) {
    unpacked.kind = "object library";
    AddObjects(unpacked);
  } else if (unpacked.kind.empty()) {
    unpacked.kind = "container";
  }
  AddPictures(bytes, options, paletteKey, unpacked);
  if (paletteKey == kRegionPaletteKey) {
    AddTiledMap(bytes, options, container.region, unpacked);
  }
  unpacked.greyscale = paletteKey == kGreyPaletteKey && !manifest.pictures.empty();
  unpacked.files[kManifestName] = TextBytes(ManifestText(manifest));
  return unpacked;
}

std::string ObjectsText(const Manifest& manifest, const FolderFiles& files) {
  std::string text = "{\"objects\": [\n";
  for (std::size_t i = 0; i < manifest.objectChunks.size(); ++i) {
    const ManifestChunk& chunk = manifest.chunks[manifest.objectChunks[i]];
    const std::unique_ptr<ObjectDef> definition = ParseObjectDef(files.at(chunk.File()), chunk.number);
    nlohmann::ordered_json line = {{"chunk", chunk.name}, {"id", definition->id}};
    for (const std::string_view name : kDrawingFieldsFirst) {
      line[std::string(name)] = nullptr;
    }
    for (const ObjectDefField& field : kObjectDefFields) {
      line[std::string(field.name)] = (*definition).*field.member;
    }
    text += " " + line.dump(-1, ' ', true) + (i + 1 < manifest.objectChunks.size() ? ",\n" : "\n");
  }
  return text + "]}\n";
}

}  // namespace karst::tools
