// The viewer's screen: the display objects of a 640 x 480 mode with 8-bit palette colour, the
// view origin (which part of the 2048 x 1536 region is on screen), and the data it draws: the
// current region and the object library with one surface per object bitmap.
//
// Ownership: the record owns every display object, the region, the object library and the
// object surfaces. `backBuffer` belongs to `primary` and is only borrowed here. The shell makes
// exactly one record and destroys it when the window goes.
//
// The operations are defined where their subject lives: construction, InitDirectDraw,
// PresentFrame, ScrollBy, the teardown and both drawing layers in display/; LoadZone,
// LoadPalette, BuildTileSurface, LoadObjects and CreateObjectSurface in data/.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/entity_placement.h"
#include "gff/load_report.h"
#include "platform/ddraw.h"

namespace karst {

struct FrameSet;

namespace platform {
class Window;
}

class DisplaySurface {
 public:
  // Stores the five values and creates nothing.
  DisplaySurface(platform::Window* window, std::int32_t height, std::int32_t width, std::uint8_t bitsPerPixel,
                 std::uint32_t nonExclusive);
  DisplaySurface(const DisplaySurface&) = delete;
  DisplaySurface& operator=(const DisplaySurface&) = delete;
  // The teardown: display objects (clipper, palette, tile strip, back buffer, primary, the
  // DirectDraw object), then the object library, then the region, then the surface table.
  ~DisplaySurface();

  // Creates the DirectDraw object, takes the screen, sets the mode, builds the flipping pair
  // and its clipper. 1 when ready, 0 at the first failing step; objects made before it stay.
  std::int32_t InitDirectDraw();
  // Tile layer, object layer, the region's name at (0, screenHeight - 15), flip. Nothing
  // without a region.
  void PresentFrame();
  // Moves the view, clamps it to the region and presents a frame, even when the view stayed.
  void ScrollBy(std::int32_t dx, std::int32_t dy);

  // Region switch (data/): resets the view, destroys the region, loads the new one, sets its
  // palette and builds its tile strip. True only when all of that succeeded.
  bool LoadZone(const char* path);
  // The same switch for a region already read (null: none) from `file`, the name its notes
  // carry; the tools use it to name what is wrong with a region before it is shown.
  bool SwitchToRegion(std::unique_ptr<Region> loaded, const std::string& file = {});
  bool LoadPalette();
  bool BuildTileSurface();
  // Object library (data/): 1 when the library loaded with at least one "BMP " frame set.
  std::int32_t LoadObjects(const std::string& path);
  // The same for a library already read (null: none), like SwitchToRegion for a region: the
  // library is kept even when the result is 0, and the object surfaces are made from it.
  std::int32_t UseObjectLibrary(std::unique_ptr<ObjectLibrary> loaded);
  std::unique_ptr<platform::Surface> CreateObjectSurface(const FrameSet& frameSet);

  // The two drawing layers (display/), called by PresentFrame.
  bool DrawTiles();
  void DrawObjects();

  // Fields, in this order; public like the record they stand for, so the shell, the tools
  // and the tests can read what the viewer shows.
  std::unique_ptr<ObjectLibrary> objects;
  std::unique_ptr<Region> region;
  std::int32_t viewX = 0;
  std::int32_t viewY = 0;
  std::map<std::int32_t, std::unique_ptr<platform::Surface>> objectSurfaces;
  std::unique_ptr<platform::DirectDraw> ddraw;
  std::unique_ptr<platform::Surface> primary;
  platform::Surface* backBuffer = nullptr;
  std::unique_ptr<platform::Surface> tileSurface;
  std::unique_ptr<platform::Clipper> clipper;
  std::unique_ptr<platform::Palette> palette;
  std::int32_t screenHeight;
  std::int32_t screenWidth;
  std::uint8_t bitsPerPixel;
  std::uint32_t nonExclusive;
  platform::Window* window;
  // Where the loads of regions and of the object library hand what they meet, given by the
  // owner: the viewer prints the lines, the tools collect. Until then the notes reach nobody.
  LoadReport report;

 private:
  // What the object layer needs of each drawable object definition (a definition whose bitmap
  // has a frame 0 with pixels), copied from the library and sorted by object number, so a frame
  // does one binary search per entity instead of two ordered-map walks. Values only: the surface
  // is still looked up every time and Blt checks every rectangle against it, so a library
  // changed behind the record's back can misplace an object but never make a blit read outside
  // a surface. Rebuilt when the library is replaced (UseObjectLibrary) or its tables change
  // size.
  struct KeyedPlacement {
    std::int32_t objectKey;
    ObjectPlacement placement;
  };
  struct PlacementSource {
    const ObjectLibrary* library = nullptr;
    std::uint64_t libraryGeneration = 0;
    std::size_t definitions = 0;
    std::size_t bitmaps = 0;
    bool operator==(const PlacementSource&) const = default;
  };
  PlacementSource CurrentPlacementSource() const;
  const std::vector<KeyedPlacement>& Placements();

  // The file of the region on screen, for the notes of its palette and tile strip.
  std::string regionFile_;
  std::uint64_t libraryGeneration_ = 0;
  std::vector<KeyedPlacement> placements_;
  std::optional<PlacementSource> placementsFrom_;
};

}  // namespace karst
