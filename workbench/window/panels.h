// The panels of the workbench's window, each a short function that draws from the model and asks
// it for actions, and what the window keeps beside the model: its textures and open dialogs.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "workbench/model/folder_browser.h"
#include "workbench/model/screen_colours.h"
#include "workbench/model/workbench.h"

namespace karst::workbench {

struct TextureDeleter {
  void operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }
};
using Texture = std::unique_ptr<SDL_Texture, TextureDeleter>;

// A static texture of ARGB pixels; null when the renderer cannot make one.
Texture MakeTexture(SDL_Renderer* renderer, std::uint32_t width, std::uint32_t height, const std::vector<Argb>& pixels);

// Where the map panel is in the window, in window pixels.
struct PanelRectangle {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

enum class Dialog { kNone, kOpenFolder, kExportRegion, kExportView, kExportFrames, kExportAll, kExportAtlas };

// What the edit panel asks the person to confirm before it acts.
enum class Confirmation { kNone, kRevert, kReplaceAnyway };

struct WindowState {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  bool quit = false;
  Dialog dialog = Dialog::kNone;
  bool dialogJustOpened = false;
  std::string dialogPath;  // the path the dialog asks for
  FolderBrowser browser;
  PanelRectangle map;
  // The map's pixels, composed when the view or the model's map changed.
  std::vector<Argb> mapPixels;
  Texture mapTexture;
  int mapTextureWidth = 0;
  int mapTextureHeight = 0;
  std::uint64_t composedGeneration = ~std::uint64_t{0};
  std::int32_t composedScrollX = 0;
  std::int32_t composedScrollY = 0;
  std::size_t composedZoom = 0;
  // Thumbnails by region index, made again only when the model draws one again.
  struct ThumbnailTexture {
    std::uint64_t generation = 0;
    Texture texture;
  };
  std::map<std::size_t, ThumbnailTexture> thumbnails;
  std::uint64_t thumbnailsFor = 0;
  // Object pictures by entry index, for the library the textures were made from.
  const ObjectEntries* objectTexturesFrom = nullptr;
  std::map<std::size_t, Texture> objectTextures;
  // The pointer over the map, in panel pixels; none when it is elsewhere.
  std::optional<ScreenPoint> pointer;
  bool mapDragged = false;
  Confirmation confirmation = Confirmation::kNone;
  bool confirmationJustAsked = false;
  // Whether the shown region has an edit folder from earlier, looked at once per region shown.
  std::string earlierEditOf;
  bool earlierEdit = false;
  // The live edit whose start turned the side panel to the edit tab.
  const LiveEdit* editTabTurnedFor = nullptr;
  // The folder whose first frame turned the side panel to what the file given asks for.
  std::uint64_t tabsTurnedFor = 0;
  bool scrollToEntity = false;
};

void DrawMenuBar(Workbench& model, WindowState& state);
void DrawStartPage(Workbench& model, WindowState& state);
void DrawRegionList(Workbench& model, WindowState& state);
void DrawMapPanel(Workbench& model, WindowState& state);
void DrawSidePanel(Workbench& model, WindowState& state);
void DrawStatusBar(Workbench& model, WindowState& state);
void DrawDialogs(Workbench& model, WindowState& state);

// A dialog or a confirmation is open.
inline bool DialogOpen(const WindowState& state) {
  return state.dialog != Dialog::kNone || state.confirmation != Confirmation::kNone;
}

// The keys of the window, from a key press the text fields did not take. True when taken.
bool HandleKey(Workbench& model, WindowState& state, SDL_Keycode key, std::uint16_t modifiers);

// Writes the map panel as it is on screen as a PNG; the line that says what became of it.
std::string ExportVisibleView(const WindowState& state, const std::string& path);

// The window title for what is shown.
std::string WindowTitle(const Workbench& model);

}  // namespace karst::workbench
