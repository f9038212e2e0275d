#include "bench/bench_scene.h"

#include <random>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/format.h"

namespace karst::bench {
namespace {

constexpr int kTileCount = 64;
constexpr int kObjectCount = 300;

SceneImage RandomImage(std::mt19937& random, std::int32_t width, std::int32_t height, int transparentPercent) {
  SceneImage image{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width * height))};
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<int> colour(1, 255);
  for (std::uint8_t& pixel : image.pixels) {
    pixel = percent(random) < transparentPercent ? 0 : static_cast<std::uint8_t>(colour(random));
  }
  return image;
}

FrameSet OneFrameSet(const SceneImage& image, std::uint32_t number) {
  Frame frame;
  frame.width = static_cast<std::uint32_t>(image.width);
  frame.height = static_cast<std::uint32_t>(image.height);
  frame.pixels = image.pixels;
  frame.encoding = kTagNrml;
  FrameSet set;
  set.frameCount = 1;
  set.frames.push_back(std::move(frame));
  set.number = number;
  return set;
}

}  // namespace

Scene MakeDenseScene() {
  std::mt19937 random(8086);
  Scene scene;
  scene.name = "Benchmark Vale";
  scene.palette.resize(768);
  for (std::uint8_t& component : scene.palette) {
    component = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 63)(random));
  }
  for (int i = 0; i < kTileCount; ++i) {
    scene.tiles.push_back(RandomImage(random, kTileSize, kTileSize, 0));
  }
  scene.map.resize(kMapBytes);
  for (std::uint8_t& cell : scene.map) {
    cell = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, kTileCount - 1)(random));
  }
  // Off the grid on both axes: 41 x 31 cells.
  scene.viewX = 517;
  scene.viewY = 389;
  std::uniform_int_distribution<int> side(16, 96);
  for (int i = 0; i < kObjectCount; ++i) {
    SceneObject object;
    object.image = RandomImage(random, side(random), side(random), 25);
    const std::int32_t w = object.image.width;
    const std::int32_t h = object.image.height;
    // Anywhere from half off the left (top) edge to half off the right (bottom) edge.
    object.screenLeft = std::uniform_int_distribution<int>(-w / 2, kScreenWidth - w / 2)(random);
    object.screenTop = std::uniform_int_distribution<int>(-h / 2, kScreenHeight - h / 2)(random);
    object.mirrored = i % 2 == 1;
    object.hotspotX = static_cast<std::uint16_t>(w / 2);
    object.hotspotY = static_cast<std::uint16_t>(h - 1);
    object.z = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 8)(random));
    object.x = static_cast<std::uint16_t>(scene.viewX + object.screenLeft + object.hotspotX);
    object.y = static_cast<std::uint16_t>(scene.viewY + object.screenTop + object.hotspotY + object.z);
    scene.objects.push_back(std::move(object));
  }
  return scene;
}

std::unique_ptr<Region> SceneRegion(const Scene& scene) {
  auto region = std::make_unique<Region>();
  region->name = scene.name;
  region->paletteData = scene.palette;
  region->paletteSize = static_cast<std::uint32_t>(scene.palette.size());
  region->mapData = scene.map;
  region->mapSize = static_cast<std::uint32_t>(scene.map.size());
  for (std::size_t i = 0; i < scene.tiles.size(); ++i) {
    region->tiles.push_back(OneFrameSet(scene.tiles[i], static_cast<std::uint32_t>(i)));
  }
  region->tileCount = static_cast<std::int32_t>(region->tiles.size());
  std::vector<Entity> entities;
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    const SceneObject& object = scene.objects[i];
    entities.push_back(
        Entity{object.x, object.y, object.z, object.mirrored ? 0x80u : 0u, static_cast<std::uint32_t>(i)});
  }
  region->entityCount = static_cast<std::int32_t>(entities.size());
  region->entities = std::move(entities);
  return region;
}

std::unique_ptr<ObjectLibrary> SceneLibrary(const Scene& scene) {
  auto library = std::make_unique<ObjectLibrary>();
  for (std::size_t i = 0; i < scene.objects.size(); ++i) {
    const SceneObject& object = scene.objects[i];
    const auto number = static_cast<std::int32_t>(i);
    library->bmpSets[number] = std::make_unique<FrameSet>(OneFrameSet(object.image, static_cast<std::uint32_t>(i)));
    auto definition = std::make_unique<ObjectDef>();
    definition->hotspotX = object.hotspotX;
    definition->hotspotY = object.hotspotY;
    definition->bitmapId = static_cast<std::uint32_t>(i);
    definition->id = static_cast<std::uint32_t>(i);
    library->objectDefs[number] = std::move(definition);
  }
  return library;
}

}  // namespace karst::bench
