// Drawing regions as the viewer does, on a headless display, for the picture commands: a whole
// region (2048 x 1536: every tile, then every object, no name) or one 640 x 480 view (the frame
// the viewer presents, name included), in the region's own palette.
//
// A renderer owns its display and everything drawn on it (region, object library, surfaces);
// renderers share nothing, so several may draw on separate threads at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/display_surface.h"
#include "gff/load_report.h"
#include "tools/pictures/png_file.h"

namespace karst::tools {

struct ViewOrigin {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// "X,Y", each a signed 32-bit number.
std::optional<ViewOrigin> ParseView(std::string_view text);

// Palette indices, `width` bytes a row, with the colours they stand for.
struct RegionPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
  PngPalette palette{};
};

// The viewer's screen, the size of one view.
inline constexpr std::int32_t kViewWidth = 640;
inline constexpr std::int32_t kViewHeight = 480;

inline constexpr std::uint32_t kMinScale = 1;
inline constexpr std::uint32_t kMaxScale = 16;

// Writes the picture as an indexed PNG, every pixel a `scale` x `scale` square (nearest
// neighbour; `scale` is kMinScale to kMaxScale), as an OutputFile: a failed or interrupted write
// leaves no partial file. The enlarged picture is written row by row, never held whole. Empty on
// success, else the reason.
std::string WritePicture(const std::string& path, const RegionPicture& picture, std::uint32_t scale = 1);

struct EntityCount {
  std::size_t undrawn = 0;
  std::size_t total = 0;
};

// The warning for a region some of whose entities were not drawn, pointing to the check that
// names them; empty when every entity was drawn.
std::string UndrawnWarning(const std::string& regionPath, const EntityCount& count);

class RegionRenderer {
 public:
  enum class Frame { kWholeRegion, kView };

  explicit RegionRenderer(Frame frame);
  RegionRenderer(const RegionRenderer&) = delete;
  RegionRenderer& operator=(const RegionRenderer&) = delete;

  // Sets up the headless display. Empty on success, else the reason.
  std::string SetUp();
  // Loads the object library, as the viewer does before its first region. Empty on success,
  // else the reason (the renderer then draws without objects).
  std::string LoadObjects(const std::string& path);
  // Reads one region file and draws it; `view` only for Frame::kView (clamped like scrolling).
  // False with the reason when the file cannot be read or the viewer would not show it.
  bool Render(const std::string& path, const ViewOrigin& view, RegionPicture& picture, std::string& error);
  // The whole-region frame with its two layers apart, for a face that switches them: `tiles` the
  // tile layer alone (with the region's colours), `objects` the object layer alone drawn on index
  // 0, so 0 wherever no object pixel lies (the layer's colour key leaves index 0 out). Composed,
  // `objects[i] != 0 ? objects[i] : tiles.pixels[i]`, they are Render's picture. Only for
  // Frame::kWholeRegion; false with the reason like Render.
  bool RenderLayers(const std::string& path, RegionPicture& tiles, std::vector<std::uint8_t>& objects,
                    std::string& error);

  // The region and the object library of the last Render or RenderLayers that succeeded, owned
  // by the renderer until its next Render or RenderLayers; the library is null when none lends
  // objects.
  const Region* region() const { return display_.region.get(); }
  const ObjectLibrary* library() const { return display_.objects.get(); }

  // After a Render with an object library loaded: how many entities of the region the object
  // layer passes over because their object cannot be drawn (a missing or wrong-size definition,
  // a missing, empty or too large bitmap), and how many the region has. Both 0 without a library.
  EntityCount Entities() const;

  // What the loads since the last call met, in order: the renderer's display collects the notes
  // of every load (the library, the regions) instead of printing their lines.
  std::vector<LoadNote> TakeNotes();

 private:
  // Reads the region and makes it the display's. False with the reason.
  bool Load(const std::string& path, std::string& error);

  Frame frame_;
  std::vector<LoadNote> notes_;
  DisplaySurface display_;
};

}  // namespace karst::tools
