// The dense view the frame benchmarks draw, as plain data that both our display and the SDL2
// peer are built from: a 640 x 480 view off the cell grid (41 x 31 cells), 300 objects of 16 x 16
// to 96 x 96 pixels all at least partly in view, every second one mirrored, about a quarter of
// their pixels index 0 (transparent).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace karst {
struct Region;
struct ObjectLibrary;
}  // namespace karst

namespace karst::bench {

struct SceneImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width x height palette indices
};

// One object in view: its bitmap, where its top-left corner lands on the screen, whether it is
// mirrored, and the entity fields that place it there.
struct SceneObject {
  SceneImage image;
  std::int32_t screenLeft = 0;
  std::int32_t screenTop = 0;
  bool mirrored = false;
  std::uint16_t x = 0;
  std::uint16_t y = 0;
  std::uint8_t z = 0;
  std::uint16_t hotspotX = 0;
  std::uint16_t hotspotY = 0;
};

struct Scene {
  std::string name;
  std::vector<std::uint8_t> palette;  // 768 bytes of 6-bit components
  std::vector<SceneImage> tiles;      // 16 x 16 each
  std::vector<std::uint8_t> map;      // 128 x 96 tile indices
  std::vector<SceneObject> objects;   // in drawing order
  std::int32_t viewX = 0;
  std::int32_t viewY = 0;
};

inline constexpr std::int32_t kScreenWidth = 640;
inline constexpr std::int32_t kScreenHeight = 480;

// The same scene on every run.
Scene MakeDenseScene();

// The scene as the viewer's data: a region whose entities are the scene's objects in order, and
// a library with one definition and one bitmap per object (object i: OJFF and BMP number i).
std::unique_ptr<Region> SceneRegion(const Scene& scene);
std::unique_ptr<ObjectLibrary> SceneLibrary(const Scene& scene);

}  // namespace karst::bench
