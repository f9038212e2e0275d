#include "tools/inspect/entity_rows.h"

#include <nlohmann/json.hpp>

#include "gff/format.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

EntityReason ReasonOf(ObjectDrawing drawing) {
  switch (drawing) {
    case ObjectDrawing::kDrawn:
      return EntityReason::kDrawn;
    case ObjectDrawing::kNoDefinition:
      return EntityReason::kNoDefinition;
    case ObjectDrawing::kWrongSizeDefinition:
      return EntityReason::kWrongSizeDefinition;
    case ObjectDrawing::kNoBitmap:
    case ObjectDrawing::kNoFrames:
      return EntityReason::kNoBitmap;
    case ObjectDrawing::kNoPixels:
      return EntityReason::kNoPixels;
    case ObjectDrawing::kTooLarge:
      return EntityReason::kTooLarge;
  }
  return EntityReason::kNoDefinition;
}

// The bitmap and rectangle of `entity`'s object, and whether it is drawn, by the layer's rules.
void PlaceObject(EntityRow& row, const Entity& entity, const ObjectLibrary& library) {
  const EntityDrawing drawing = DrawingOfEntity(entity, library);
  row.reason = ReasonOf(drawing.drawing);
  row.bitmapId = drawing.bitmapId;
  if (!drawing.placement) {
    return;
  }
  row.rectangle = drawing.placement->rectangle;
  if (!InsideRegion(drawing.placement->rectangle)) {
    row.reason = EntityReason::kOutsideRegion;
  }
}

nlohmann::json RowJson(const EntityRow& row) {
  nlohmann::json json{{"index", row.index},
                      {"x", row.x},
                      {"y", row.y},
                      {"z", row.z},
                      {"flags", row.flags},
                      {"mirrored", row.mirrored},
                      {"objectId", row.objectId},
                      {"bitmapId", nullptr},
                      {"left", nullptr},
                      {"top", nullptr},
                      {"width", nullptr},
                      {"height", nullptr},
                      {"drawn", row.drawn()}};
  if (row.bitmapId) {
    json["bitmapId"] = *row.bitmapId;
  }
  if (row.rectangle) {
    json["left"] = row.rectangle->left;
    json["top"] = row.rectangle->top;
    json["width"] = row.rectangle->width;
    json["height"] = row.rectangle->height;
  }
  if (!row.drawn()) {
    json["reason"] = ReasonText(row.reason);
  }
  return json;
}

}  // namespace

std::string_view ReasonText(EntityReason reason) {
  switch (reason) {
    case EntityReason::kDrawn:
      return "";
    case EntityReason::kNoLibrary:
      return "no object library";
    case EntityReason::kNoDefinition:
      return "no definition";
    case EntityReason::kWrongSizeDefinition:
      return "wrong-size definition";
    case EntityReason::kNoBitmap:
      return "no bitmap";
    case EntityReason::kNoPixels:
      return "no pixels";
    case EntityReason::kTooLarge:
      return "too large to draw";
    case EntityReason::kOutsideRegion:
      return "outside the region";
  }
  return "";
}

bool InsideRegion(const EntityRectangle& rectangle) {
  // Sums in 64 bits: the rectangle's far edges may lie beyond the 32-bit range of its fields.
  const std::int64_t right = std::int64_t{rectangle.left} + rectangle.width;
  const std::int64_t bottom = std::int64_t{rectangle.top} + rectangle.height;
  return rectangle.left < kRegionWidth && right > 0 && rectangle.top < kRegionHeight && bottom > 0;
}

std::vector<EntityRow> EntityRows(const Region& region, const ObjectLibrary* library) {
  const std::span<const Entity> entities = WalkedEntities(region);
  std::vector<EntityRow> rows;
  rows.reserve(entities.size());
  for (std::size_t index = 0; index < entities.size(); ++index) {
    const Entity& entity = entities[index];
    EntityRow row{index,           entity.x,
                  entity.y,        entity.z,
                  entity.flags,    IsMirrored(entity),
                  entity.objectId, std::nullopt,
                  std::nullopt,    EntityReason::kNoLibrary};
    if (library != nullptr) {
      PlaceObject(row, entity, *library);
    }
    rows.push_back(row);
  }
  return rows;
}

std::string EntityRowsJson(std::string_view file, std::span<const EntityRow> rows) {
  nlohmann::json entities = nlohmann::json::array();
  for (const EntityRow& row : rows) {
    entities.push_back(RowJson(row));
  }
  return JsonText(nlohmann::json{{"file", std::string(file)}, {"entities", std::move(entities)}});
}

}  // namespace karst::tools
