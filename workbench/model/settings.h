// What the workbench remembers between runs: the folders opened last, the window's size and the
// layers shown, kept as JSON in the user's configuration folder.
//
//   {"recentFolders":["/games/world","/tmp/edit"],"windowWidth":1600,"windowHeight":900,"layers":"TO"}
//
// A file that cannot be read as settings (no JSON, values of the wrong kind or out of range, cut
// short, a folder in its place) is never lost and never stops the program: it is set aside under
// a name that says so, and the defaults are used. Members a later version adds are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace karst::workbench {

inline constexpr std::size_t kMostRecentFolders = 8;
// The keys of the layers, in menu order: tiles, objects, the cell grid, the entities' boxes and
// hotspots, the viewer's view.
inline constexpr std::string_view kLayerKeys = "TOGBV";
// The largest window side kept; a larger one is no window size.
inline constexpr std::int32_t kLargestWindowSide = 32768;

struct Settings {
  std::vector<std::string> recentFolders;          // newest first, at most 8, no duplicates
  std::int32_t windowWidth = 0, windowHeight = 0;  // 0: not yet known
  std::string layers = "TO";                       // the keys of the layers shown, each once, in kLayerKeys
};

struct SettingsLoad {
  Settings settings;
  // A line saying the file was set aside, naming it and where it went; or why no settings are kept.
  std::string problem;
  // False when a file that could not be read could not be set aside either: saving would then
  // replace it, so the settings of this run are not saved.
  bool canSave = true;
};

// The settings at `path`. A missing file gives the defaults and no problem.
SettingsLoad LoadSettings(const std::string& path);

// Writes the settings to a file beside `path` and renames it into place, making the folder when
// missing. Empty on success, else the reason, naming the file.
std::string SaveSettings(const std::string& path, const Settings& settings);

// <config folder>/karst/workbench.json; empty when the system names no configuration folder.
std::string SettingsPath();

// Puts `folder` first among the recent folders, once, keeping at most kMostRecentFolders.
void RememberFolder(Settings& settings, const std::string& folder);

// Whether the layer with key `key` is shown, and showing or hiding it.
bool LayerShown(const Settings& settings, char key);
void ShowLayer(Settings& settings, char key, bool shown);

}  // namespace karst::workbench
