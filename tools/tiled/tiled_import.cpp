#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "authoring/record_writers.h"
#include "data/entity_placement.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/format.h"
#include "tools/text/json_reader.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"
#include "tools/tiled/tiled_map.h"
#include "tools/tiled/tiled_map_format.h"

namespace karst::tools {
namespace {

using nlohmann::json;

constexpr std::int64_t kLargestU16 = 0xFFFF;
constexpr std::int64_t kLargestU8 = 0xFF;

// An int property of `owner` ("properties" as name/type/value entries). Nothing when it has none;
// false, with `problem` set, when it has one that is not an int.
bool IntProperty(const json& owner, std::string_view name, std::optional<std::int64_t>& value, std::string& problem) {
  value.reset();
  const json* properties = Member(owner, "properties");
  if (properties == nullptr || !properties->is_array()) {
    return true;
  }
  for (const json& property : *properties) {
    if (TextMember(property, "name") != name) {
      continue;
    }
    const json* number = Member(property, "value");
    value = number != nullptr ? WholeNumber(*number) : std::nullopt;
    if (TextMember(property, "type") != "int" || !value) {
      problem = "its property " + Quoted(name) + " is not an int";
      return false;
    }
    return true;
  }
  return true;
}

struct TilesetRange {
  std::uint32_t firstGid = 0;
  // As the map names it, lexically normal; for an embedded tileset, the file of ours it is
  // unchanged, or empty.
  std::string source;
  // The name of an embedded tileset that is none of ours; empty otherwise.
  std::string embeddedOther;
};

std::string Plural(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// A tileset as it is compared with another: without what says only where it lies or who wrote
// it, its pictures named by their path from the unpack folder. `folder` is where the tileset's
// own picture paths start.
json ComparableTileset(json tileset, const std::filesystem::path& folder) {
  if (!tileset.is_object()) {
    return tileset;
  }
  for (const char* key : {"firstgid", "source", "tiledversion", "version", "type"}) {
    tileset.erase(key);
  }
  const auto resolve = [&](json& owner) {
    if (owner.is_object() && owner.contains("image") && owner["image"].is_string()) {
      owner["image"] = (folder / owner["image"].get<std::string>()).lexically_normal().generic_string();
    }
  };
  resolve(tileset);
  if (tileset.contains("tiles") && tileset["tiles"].is_array()) {
    for (json& tile : tileset["tiles"]) {
      resolve(tile);
    }
  }
  return tileset;
}

// What pack needs of an objects' tile: the definition it draws and where.
struct ObjectTileInfo {
  std::int64_t objectId = 0;
  ObjectPlacement placement;
};

class MapReader {
 public:
  MapReader(const TiledTilesets& tilesets, const RegionChunks& before, std::string& error)
      : tilesTilesetText_(tilesets.tiles), objectsTilesetText_(tilesets.objects), before_(before), error_(error) {}

  std::optional<TiledEdits> Read(std::string_view mapText);

 private:
  bool Refuse(std::string text) {
    error_ = std::move(text);
    return false;
  }
  bool RefuseInMap(const std::string& text) { return Refuse(std::string(kTiledMapFile) + ": " + text); }

  bool ReadFrame(const json& map);
  bool ReadTilesets(const json& map);
  // The tileset a gid's tile belongs to (an index into tilesets_), or nothing before the first.
  std::optional<std::size_t> TilesetOf(std::uint32_t tile) const;
  // The file of ours an embedded tileset is, unchanged; empty when it is none of them.
  std::string EmbeddedAs(const json& tileset) const;
  // The refusal of `where`, showing `gid` of a tileset other than `file`.
  bool RefuseOtherTileset(const std::string& where, std::uint32_t gid, std::string_view file);
  bool ReadLayers(const json& map);
  bool ReadTiles(const json& layer);
  bool ReadObjects(const json& layer, bool tiles);
  bool ReadTileObject(const json& object, const std::string& label, std::int64_t id);
  bool ReadPoint(const json& object, const std::string& label, std::int64_t id);
  bool LoadObjectTiles();
  // How many of the region's entities the layer of tile objects (`tiles`) or of points held as
  // unpack wrote it: a tile object for each whose object has a tile in tiled/objects.tsj.
  std::optional<std::uint64_t> HeldBy(bool tiles);
  bool ReadName(const json& map);
  std::optional<TiledEdits> Edits();

  std::string_view tilesTilesetText_;
  std::optional<std::string_view> objectsTilesetText_;
  const RegionChunks& before_;
  std::string& error_;

  std::vector<TilesetRange> tilesets_;
  std::optional<std::size_t> tilesIndex_;
  std::optional<std::size_t> objectsIndex_;
  std::optional<std::map<std::uint32_t, ObjectTileInfo>> objectTiles_;

  bool sawTiles_ = false;
  std::vector<std::uint8_t> map_;
  std::map<std::int64_t, authoring::EntityRecord> entities_;
  std::uint64_t tileObjects_ = 0;
  std::uint64_t points_ = 0;
  std::optional<std::vector<std::uint8_t>> name_;
  std::vector<std::string> notes_;
  std::vector<std::string> emptiedLayers_;
};

bool MapReader::ReadFrame(const json& map) {
  if (!map.is_object() || TextMember(map, "type") != "map") {
    return RefuseInMap("not a Tiled map");
  }
  const json* infinite = Member(map, "infinite");
  if (infinite != nullptr && infinite->is_boolean() && infinite->get<bool>()) {
    return RefuseInMap("an infinite map; the region's map is 128 x 96 cells (Map > Map Properties > Infinite off)");
  }
  const auto number = [&](std::string_view key) {
    const json* member = Member(map, key);
    return member != nullptr ? WholeNumber(*member) : std::nullopt;
  };
  if (TextMember(map, "orientation") != "orthogonal" || number("width") != kMapColumns ||
      number("height") != kMapRows || number("tilewidth") != kTileSize || number("tileheight") != kTileSize) {
    const auto shown = [&](std::string_view key) { return number(key) ? std::to_string(*number(key)) : "?"; };
    return RefuseInMap("the map is " + shown("width") + " x " + shown("height") + " cells of " + shown("tilewidth") +
                       " x " + shown("tileheight") + " pixels" +
                       (TextMember(map, "orientation") != "orthogonal" ? ", not orthogonal" : "") +
                       "; the region's map is an orthogonal map of 128 x 96 cells of 16 x 16 pixels");
  }
  return true;
}

bool MapReader::ReadTilesets(const json& map) {
  const json* tilesets = Member(map, "tilesets");
  if (tilesets == nullptr || !tilesets->is_array()) {
    return RefuseInMap("no tilesets");
  }
  for (const json& tileset : *tilesets) {
    const json* firstGid = Member(tileset, "firstgid");
    const std::optional<std::int64_t> first = firstGid != nullptr ? WholeNumber(*firstGid) : std::nullopt;
    if (!first || *first < 1 || *first > kGidTileBits) {
      return RefuseInMap("a tileset without a valid firstgid");
    }
    const std::string source = TextMember(tileset, "source");
    if (source.empty()) {
      const std::string ours = EmbeddedAs(tileset);
      tilesets_.push_back(TilesetRange{static_cast<std::uint32_t>(*first), ours,
                                       ours.empty() ? Quoted(TextMember(tileset, "name")) : ""});
    } else {
      tilesets_.push_back(TilesetRange{static_cast<std::uint32_t>(*first),
                                       std::filesystem::path(source).lexically_normal().generic_string(), ""});
    }
  }
  std::sort(tilesets_.begin(), tilesets_.end(),
            [](const TilesetRange& a, const TilesetRange& b) { return a.firstGid < b.firstGid; });
  for (std::size_t index = 0; index < tilesets_.size(); ++index) {
    if (tilesets_[index].source == kTiledTilesTileset) {
      tilesIndex_ = index;
    } else if (tilesets_[index].source == kTiledObjectsTileset) {
      objectsIndex_ = index;
    }
  }
  return true;
}

std::string MapReader::EmbeddedAs(const json& tileset) const {
  const json embedded = ComparableTileset(tileset, "");
  std::string problem;
  for (const auto& [file, text] : {std::pair{kTiledTilesTileset, std::optional(tilesTilesetText_)},
                                   std::pair{kTiledObjectsTileset, objectsTilesetText_}}) {
    const std::optional<json> ours = text ? ParseJsonText(*text, problem) : std::nullopt;
    if (ours && ComparableTileset(*ours, std::filesystem::path(file).parent_path()) == embedded) {
      return std::string(file);
    }
  }
  return {};
}

bool MapReader::RefuseOtherTileset(const std::string& where, std::uint32_t gid, std::string_view file) {
  const std::optional<std::size_t> tileset = TilesetOf(gid);
  std::string text =
      where + " shows a tile of another tileset than " + std::string(file) + " (gid " + std::to_string(gid) + ")";
  if (tileset && !tilesets_[*tileset].embeddedOther.empty()) {
    text += ": the tileset " + tilesets_[*tileset].embeddedOther +
            " is embedded in the map and is not ours unchanged; pack takes an embedded tileset only when it is " +
            std::string(kTiledTilesTileset) + " or " + std::string(kTiledObjectsTileset) +
            " as they are (undo the tileset's edits, or save the map with its tilesets external)";
  }
  return RefuseInMap(text);
}

std::optional<std::size_t> MapReader::TilesetOf(std::uint32_t tile) const {
  std::optional<std::size_t> found;
  for (std::size_t index = 0; index < tilesets_.size() && tilesets_[index].firstGid <= tile; ++index) {
    found = index;
  }
  return found;
}

bool MapReader::ReadLayers(const json& map) {
  const json* layers = Member(map, "layers");
  if (layers == nullptr || !layers->is_array()) {
    return RefuseInMap("no layers");
  }
  bool sawObjects = false;
  bool sawPoints = false;
  for (const json& layer : *layers) {
    const std::string name = TextMember(layer, "name");
    const std::string type = TextMember(layer, "type");
    bool* seen = nullptr;
    if (name == kTiledTileLayer && type == "tilelayer") {
      seen = &sawTiles_;
    } else if (name == kTiledObjectLayer && type == "objectgroup") {
      seen = &sawObjects;
    } else if (name == kTiledPointLayer && type == "objectgroup") {
      seen = &sawPoints;
    } else {
      return RefuseInMap("the layer " + Quoted(name) + " (" + type + ") has no place in the region: only the layers " +
                         Quoted(kTiledTileLayer) + ", " + Quoted(kTiledObjectLayer) + " and " +
                         Quoted(kTiledPointLayer) + " are taken");
    }
    if (*seen) {
      return RefuseInMap("two layers named " + Quoted(name));
    }
    *seen = true;
    for (const std::string_view offset : {"offsetx", "offsety"}) {
      const json* shift = Member(layer, offset);
      if (shift != nullptr && WholeNumber(*shift) != 0) {
        return RefuseInMap("the layer " + Quoted(name) + " is offset from the map; the region's layers are not");
      }
    }
    const bool read = type == "tilelayer" ? ReadTiles(layer) : ReadObjects(layer, name == kTiledObjectLayer);
    if (!read) {
      return false;
    }
  }
  if (!sawTiles_) {
    return RefuseInMap("no tile layer " + Quoted(kTiledTileLayer));
  }
  // A deleted layer would take every entity it held without a word; an emptied one says so.
  for (const auto& [seen, tiles] : {std::pair{sawObjects, true}, std::pair{sawPoints, false}}) {
    const std::optional<std::uint64_t> held = HeldBy(tiles);
    if (!held) {
      return false;
    }
    const std::string layer(tiles ? kTiledObjectLayer : kTiledPointLayer);
    if (!seen && *held > 0) {
      return RefuseInMap("the layer " + Quoted(layer) + " is missing; it held " + Plural(*held, "entity", "entities") +
                         ", which packing would delete. Put the layer back (Edit > Undo, or copy it from the "
                         "map.tmj of a new unpack), or, to delete them, delete its objects and keep the layer");
    }
    if (*held > 0 && (tiles ? tileObjects_ : points_) == 0) {
      emptiedLayers_.push_back(layer);
    }
  }
  return true;
}

bool MapReader::ReadTiles(const json& layer) {
  const std::string label = "the layer " + Quoted(kTiledTileLayer);
  const std::string encoding = TextMember(layer, "encoding");
  const std::string compression = TextMember(layer, "compression");
  if ((!encoding.empty() && encoding != "csv") || !compression.empty()) {
    return RefuseInMap(label + " is stored as " + (encoding.empty() ? "csv" : encoding) +
                       (compression.empty() ? "" : ", " + compression) + "; save it with the tile layer format CSV");
  }
  if (before_.map.size() < kMapBytes) {
    return RefuseInMap("the region's \"MAP \" chunk holds fewer than 128 x 96 cells");
  }
  const json* data = Member(layer, "data");
  if (data == nullptr || !data->is_array() || data->size() != kMapBytes) {
    return RefuseInMap(label + " does not hold 128 x 96 cells");
  }
  // Every cell is decided before any byte is written: map bytes past the cells are kept.
  map_.assign(before_.map.begin(), before_.map.end());
  for (std::size_t cell = 0; cell < kMapBytes; ++cell) {
    const std::string where = label + "'s cell at column " + std::to_string(cell % kMapColumns) + ", row " +
                              std::to_string(cell / kMapColumns);
    const std::optional<std::int64_t> number = WholeNumber((*data)[cell]);
    if (!number || *number < 0 || *number > 0xFFFFFFFFll) {
      return RefuseInMap(where + " holds no gid");
    }
    const auto gid = static_cast<std::uint32_t>(*number);
    if (gid == 0) {
      return RefuseInMap(where + " is empty; every cell of the region shows a tile");
    }
    if ((gid & ~kGidTileBits) != 0) {
      return RefuseInMap(where + " is flipped or turned; the region's tiles are drawn as they are");
    }
    const std::optional<std::size_t> tileset = TilesetOf(gid);
    if (!tileset || tileset != tilesIndex_) {
      return RefuseOtherTileset(where, gid, kTiledTilesTileset);
    }
    const std::uint32_t tile = gid - tilesets_[*tilesIndex_].firstGid;
    if (tile > 255) {
      return RefuseInMap(where + " shows tile " + std::to_string(tile) + "; a map cell names tiles 0 to 255");
    }
    // A byte naming no tile showed tile 0; left on tile 0, it keeps its own byte.
    const std::uint8_t before = before_.map[cell];
    if (static_cast<std::int32_t>(tile) != DrawnTile(before, before_.tileCount)) {
      map_[cell] = static_cast<std::uint8_t>(tile);
    }
  }
  return true;
}

bool MapReader::ReadObjects(const json& layer, bool tiles) {
  const std::string layerName(tiles ? kTiledObjectLayer : kTiledPointLayer);
  const json* objects = Member(layer, "objects");
  if (objects == nullptr) {
    return true;
  }
  if (!objects->is_array()) {
    return RefuseInMap("the layer " + Quoted(layerName) + " holds no list of objects");
  }
  std::int64_t previous = 0;
  for (std::size_t position = 0; position < objects->size(); ++position) {
    const json& object = (*objects)[position];
    const json* idMember = Member(object, "id");
    const std::optional<std::int64_t> id = idMember != nullptr ? WholeNumber(*idMember) : std::nullopt;
    if (!id || *id < 1) {
      return RefuseInMap("object " + std::to_string(position + 1) + " of the layer " + Quoted(layerName) +
                         " has no id");
    }
    const std::string label = "object " + std::to_string(*id) + " in the layer " + Quoted(layerName);
    if (entities_.count(*id) != 0) {
      return RefuseInMap(label + ": a second object with the same id");
    }
    if (*id < previous) {
      return RefuseInMap(label + " was raised or lowered: it stands above object " + std::to_string(previous) +
                         ". The region draws its entities in the order of their ids, so move it back, or delete it "
                         "and add it anew to draw it above all others");
    }
    previous = *id;
    if (Member(object, "template") != nullptr) {
      return RefuseInMap(label + " is a template instance; detach it (Detach Template) first");
    }
    if (!(tiles ? ReadTileObject(object, label, *id) : ReadPoint(object, label, *id))) {
      return false;
    }
    ++(tiles ? tileObjects_ : points_);
  }
  return true;
}

bool MapReader::LoadObjectTiles() {
  if (objectTiles_) {
    return true;
  }
  const std::string file(kTiledObjectsTileset);
  if (!objectsTilesetText_) {
    return Refuse(file + ": missing; the map's tile objects need it");
  }
  std::string problem;
  const std::optional<json> tileset = ParseJsonText(*objectsTilesetText_, problem);
  if (!tileset) {
    return Refuse(file + ": not JSON: " + problem);
  }
  const json* tiles = Member(*tileset, "tiles");
  if (tiles == nullptr || !tiles->is_array()) {
    return Refuse(file + ": no tiles");
  }
  std::map<std::uint32_t, ObjectTileInfo> read;
  for (const json& tile : *tiles) {
    const json* idMember = Member(tile, "id");
    const std::optional<std::int64_t> id = idMember != nullptr ? WholeNumber(*idMember) : std::nullopt;
    if (!id || *id < 0 || *id > kGidTileBits) {
      return Refuse(file + ": a tile without a valid id");
    }
    const std::string label = file + ": tile " + std::to_string(*id);
    ObjectTileInfo info;
    std::int64_t values[5] = {};
    const std::string_view names[5] = {kPropertyObjectId, kPropertyHotspotX, kPropertyHotspotY, "imagewidth",
                                       "imageheight"};
    for (std::size_t field = 0; field < 5; ++field) {
      std::optional<std::int64_t> value;
      if (field < 3) {
        if (!IntProperty(tile, names[field], value, problem)) {
          return Refuse(label + ": " + problem);
        }
      } else if (const json* member = Member(tile, names[field])) {
        value = WholeNumber(*member);
      }
      if (!value || *value < 0 || *value > kLargestU16) {
        return Refuse(label + " has no " + std::string(names[field]) + " from 0 to 65535");
      }
      values[field] = *value;
    }
    info.objectId = values[0];
    info.placement.hotspotX = static_cast<std::int32_t>(values[1]);
    info.placement.hotspotY = static_cast<std::int32_t>(values[2]);
    info.placement.width = static_cast<std::int32_t>(values[3]);
    info.placement.height = static_cast<std::int32_t>(values[4]);
    read[static_cast<std::uint32_t>(*id)] = info;
  }
  objectTiles_ = std::move(read);
  return true;
}

bool MapReader::ReadTileObject(const json& object, const std::string& label, std::int64_t id) {
  const json* gidMember = Member(object, "gid");
  const std::optional<std::int64_t> gidNumber = gidMember != nullptr ? WholeNumber(*gidMember) : std::nullopt;
  if (!gidNumber || *gidNumber <= 0 || *gidNumber > 0xFFFFFFFFll || Member(object, "point") != nullptr ||
      Member(object, "ellipse") != nullptr || Member(object, "polygon") != nullptr ||
      Member(object, "polyline") != nullptr || Member(object, "text") != nullptr) {
    return RefuseInMap(label + " is not a tile object; this layer holds only the objects' tiles");
  }
  const auto gid = static_cast<std::uint32_t>(*gidNumber);
  if ((gid & (kFlippedVertically | kFlippedDiagonally | kRotatedHexagonal120)) != 0) {
    return RefuseInMap(label + " is flipped vertically or turned; the region mirrors objects only left to right");
  }
  const json* rotation = Member(object, "rotation");
  if (rotation != nullptr && !(rotation->is_number() && rotation->get<double>() == 0.0)) {
    return RefuseInMap(label + " is rotated; the region's objects are not");
  }
  const std::uint32_t tile = gid & kGidTileBits;
  const std::optional<std::size_t> tileset = TilesetOf(tile);
  if (!tileset || tileset != objectsIndex_) {
    return RefuseOtherTileset(label, tile, kTiledObjectsTileset);
  }
  if (!LoadObjectTiles()) {
    return false;
  }
  const auto info = objectTiles_->find(tile - tilesets_[*objectsIndex_].firstGid);
  if (info == objectTiles_->end()) {
    return RefuseInMap(label + " shows tile " + std::to_string(tile - tilesets_[*objectsIndex_].firstGid) + ", which " +
                       std::string(kTiledObjectsTileset) + " does not have");
  }
  const ObjectPlacement& placement = info->second.placement;
  std::int64_t position[4] = {};  // x, y, width, height
  const std::string_view keys[4] = {"x", "y", "width", "height"};
  for (std::size_t field = 0; field < 4; ++field) {
    const json* member = Member(object, keys[field]);
    const std::optional<std::int64_t> value = member != nullptr ? WholeNumber(*member) : std::int64_t{0};
    if (!value) {
      return RefuseInMap(label + " has " + std::string(keys[field]) + " " + (member != nullptr ? member->dump() : "") +
                         ", not a whole pixel (turn snapping on: View > Snapping > Snap to Pixels)");
    }
    position[field] = *value;
  }
  // Tiled takes a size of 0 as the tile's own.
  const std::int64_t width = position[2] != 0 ? position[2] : placement.width;
  const std::int64_t height = position[3] != 0 ? position[3] : placement.height;
  if (width != placement.width || height != placement.height) {
    return RefuseInMap(label + " is drawn " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels; its picture is " + std::to_string(placement.width) + " x " +
                       std::to_string(placement.height) + " and the region does not scale objects");
  }
  std::optional<std::int64_t> z;
  std::optional<std::int64_t> flags;
  std::string problem;
  if (!IntProperty(object, kPropertyZ, z, problem) || !IntProperty(object, kPropertyFlags, flags, problem)) {
    return RefuseInMap(label + ": " + problem);
  }
  const std::int64_t lift = z.value_or(0);
  const std::int64_t flagByte = flags.value_or(0);
  if (lift < 0 || lift > kLargestU8 || flagByte < 0 || flagByte > kLargestU8) {
    return RefuseInMap(label + " has z " + std::to_string(lift) + " and flags " + std::to_string(flagByte) +
                       "; each must be 0 to 255");
  }
  // Tiled stands a tile object on its bottom-left corner.
  const EntityAnchor anchor = AnchorFor(position[0], position[1] - height, static_cast<std::uint32_t>(lift), placement);
  if (anchor.x < 0 || anchor.x > kLargestU16 || anchor.y < 0 || anchor.y > kLargestU16 ||
      info->second.objectId > kLargestU16) {
    return RefuseInMap(label + " would stand at x " + std::to_string(anchor.x) + ", y " + std::to_string(anchor.y) +
                       " with object " + std::to_string(info->second.objectId) +
                       "; an entity's x, y and objectId are 0 to 65535");
  }
  const auto mirrored = static_cast<std::uint8_t>((gid & kFlippedHorizontally) != 0 ? kEntityMirroredFlag : 0);
  if (flags && (flagByte & kEntityMirroredFlag) != mirrored) {
    notes_.push_back(std::string(kTiledMapFile) + ": " + label + ": its property " + Quoted(kPropertyFlags) + " (" +
                     std::to_string(flagByte) + ") says " + (mirrored != 0 ? "not mirrored" : "mirrored") +
                     ", but the object is " + (mirrored != 0 ? "" : "not ") +
                     "flipped: the flip decides, so the entity is " + (mirrored != 0 ? "" : "not ") + "mirrored");
  }
  entities_[id] = authoring::EntityRecord{
      static_cast<std::uint16_t>(anchor.x), static_cast<std::uint16_t>(anchor.y), static_cast<std::uint8_t>(lift),
      static_cast<std::uint8_t>((flagByte & ~std::int64_t{kEntityMirroredFlag}) | mirrored),
      static_cast<std::uint16_t>(info->second.objectId)};
  return true;
}

bool MapReader::ReadPoint(const json& object, const std::string& label, std::int64_t id) {
  const json* point = Member(object, "point");
  if (point == nullptr || !point->is_boolean() || !point->get<bool>() || Member(object, "gid") != nullptr) {
    return RefuseInMap(label + " is not a point; this layer holds entities as points at their anchors");
  }
  std::int64_t fields[5] = {};  // x, y, objectId, z, flags
  for (std::size_t field = 0; field < 2; ++field) {
    const std::string_view key = field == 0 ? "x" : "y";
    const json* member = Member(object, key);
    const std::optional<std::int64_t> value = member != nullptr ? WholeNumber(*member) : std::int64_t{0};
    if (!value) {
      return RefuseInMap(label + " has " + std::string(key) + " " + member->dump() +
                         ", not a whole pixel (turn snapping on: View > Snapping > Snap to Pixels)");
    }
    fields[field] = *value;
  }
  const std::string_view names[3] = {kPropertyObjectId, kPropertyZ, kPropertyFlags};
  for (std::size_t field = 0; field < 3; ++field) {
    std::optional<std::int64_t> value;
    std::string problem;
    if (!IntProperty(object, names[field], value, problem)) {
      return RefuseInMap(label + ": " + problem);
    }
    if (!value && field == 0) {
      return RefuseInMap(label + " has no int property " + Quoted(kPropertyObjectId) + " naming its object");
    }
    fields[field + 2] = value.value_or(0);
  }
  const std::int64_t largest[5] = {kLargestU16, kLargestU16, kLargestU16, kLargestU8, kLargestU8};
  for (std::size_t field = 0; field < 5; ++field) {
    if (fields[field] < 0 || fields[field] > largest[field]) {
      return RefuseInMap(label + " has x " + std::to_string(fields[0]) + ", y " + std::to_string(fields[1]) +
                         ", objectId " + std::to_string(fields[2]) + ", z " + std::to_string(fields[3]) +
                         " and flags " + std::to_string(fields[4]) +
                         "; x, y and objectId are 0 to 65535, z and flags 0 to 255");
    }
  }
  entities_[id] = authoring::EntityRecord{static_cast<std::uint16_t>(fields[0]), static_cast<std::uint16_t>(fields[1]),
                                          static_cast<std::uint8_t>(fields[3]), static_cast<std::uint8_t>(fields[4]),
                                          static_cast<std::uint16_t>(fields[2])};
  return true;
}

std::optional<std::uint64_t> MapReader::HeldBy(bool tiles) {
  const std::optional<std::vector<Entity>> entities =
      before_.entities ? ParseEntities(*before_.entities) : std::optional<std::vector<Entity>>();
  if (!entities) {
    return 0;
  }
  std::set<std::int64_t> drawn;
  if (objectsTilesetText_) {
    if (!LoadObjectTiles()) {
      return std::nullopt;
    }
    for (const auto& [tile, info] : *objectTiles_) {
      drawn.insert(info.objectId);
    }
  }
  return static_cast<std::uint64_t>(std::count_if(entities->begin(), entities->end(), [&](const Entity& entity) {
    return drawn.contains(entity.objectId) == tiles;
  }));
}

bool MapReader::ReadName(const json& map) {
  const json* properties = Member(map, "properties");
  if (properties == nullptr || !properties->is_array()) {
    return true;
  }
  for (const json& property : *properties) {
    if (TextMember(property, "name") != kPropertyName) {
      continue;
    }
    const json* value = Member(property, "value");
    if (TextMember(property, "type") != "string" || value == nullptr || !value->is_string()) {
      return RefuseInMap("the map's property " + Quoted(kPropertyName) + " is not a string");
    }
    const std::string& text = value->get_ref<const std::string&>();
    std::string problem;
    name_ = Latin1Of(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), problem);
    if (!name_) {
      return RefuseInMap("the map's property " + Quoted(kPropertyName) + ": " + problem);
    }
  }
  return true;
}

std::optional<TiledEdits> MapReader::Edits() {
  TiledEdits edits;
  if (!std::equal(map_.begin(), map_.end(), before_.map.begin(), before_.map.end())) {
    edits.map = map_;
  }
  std::vector<authoring::EntityRecord> records;
  for (const auto& [id, record] : entities_) {
    records.push_back(record);
  }
  std::vector<std::uint8_t> table = authoring::WriteEntityTable(records);
  // The table as the viewer reads it: none from a payload it turns away.
  std::optional<std::vector<Entity>> beforeEntities;
  if (before_.entities) {
    beforeEntities = ParseEntities(*before_.entities);
  }
  const bool sameTable =
      beforeEntities ? std::equal(table.begin(), table.end(), before_.entities->begin(), before_.entities->end())
                     : records.empty();
  if (!sameTable) {
    if (!before_.entities) {
      RefuseInMap("the map has objects, but the region has no \"ETAB\" chunk to hold them");
      return std::nullopt;
    }
    edits.entities = std::move(table);
    const std::vector<Entity> was = beforeEntities.value_or(std::vector<Entity>{});
    EntityChanges& changes = edits.entityChanges;
    for (const auto& [id, record] : entities_) {
      if (id > static_cast<std::int64_t>(was.size())) {
        ++changes.added;
        continue;
      }
      const Entity& entity = was[static_cast<std::size_t>(id - 1)];
      if (record.x != entity.x || record.y != entity.y) {
        ++changes.moved;
      } else if (record.z != entity.z || record.flags != entity.flags || record.objectId != entity.objectId) {
        ++changes.changed;
      }
    }
    changes.removed = was.size() - (entities_.size() - changes.added);
    changes.emptiedLayers = emptiedLayers_;
  }
  // A name taken away in the map leaves the region's name as it was.
  if (name_) {
    if (!before_.name) {
      RefuseInMap("the map has a name, but the region has no \"RNME\" chunk to hold one");
      return std::nullopt;
    }
    // What follows the name's end stays.
    const auto end = before_.name->begin() + static_cast<std::ptrdiff_t>(RegionNameLength(*before_.name));
    if (!std::equal(name_->begin(), name_->end(), before_.name->begin(), end)) {
      edits.name.emplace(name_->begin(), name_->end());
      edits.name->insert(edits.name->end(), end, before_.name->end());
    }
  }
  edits.notes = notes_;
  return edits;
}

std::optional<TiledEdits> MapReader::Read(std::string_view mapText) {
  std::string problem;
  const std::optional<json> map = ParseJsonText(mapText, problem);
  if (!map) {
    RefuseInMap("not JSON: " + problem);
    return std::nullopt;
  }
  if (!ReadFrame(*map) || !ReadTilesets(*map) || !ReadLayers(*map) || !ReadName(*map)) {
    return std::nullopt;
  }
  return Edits();
}

}  // namespace

std::optional<TiledEdits> TiledEditsOf(std::string_view mapText, const TiledTilesets& tilesets,
                                       const RegionChunks& before, std::string& error) {
  return MapReader(tilesets, before, error).Read(mapText);
}

}  // namespace karst::tools
