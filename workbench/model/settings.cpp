#include "workbench/model/settings.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "data/file_problems.h"
#include "platform/file_safety.h"
#include "platform/paths.h"
#include "platform/user_folders.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/text/json_reader.h"
#include "tools/text/json_text.h"

namespace karst::workbench {
namespace {

// A settings file is a few hundred bytes; anything far larger is no settings file and is not
// read into memory.
constexpr std::uintmax_t kLargestSettingsFile = 1 << 20;

bool IsUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const auto decoded = tools::DecodeUtf8(text, at);
    if (!decoded) {
      return false;
    }
    at += decoded->second;
  }
  return true;
}

// The layers in `text` in menu order; nothing when it holds a key twice or one that is no layer's.
std::optional<std::string> LayerKeys(const std::string& text) {
  std::string keys;
  for (const char key : kLayerKeys) {
    const auto count = std::count(text.begin(), text.end(), key);
    if (count > 1) {
      return std::nullopt;
    }
    if (count == 1) {
      keys += key;
    }
  }
  return keys.size() == text.size() ? std::optional<std::string>(keys) : std::nullopt;
}

// The settings `value` holds, or why it holds none.
std::optional<Settings> SettingsOf(const nlohmann::json& value, std::string& problem) {
  if (!value.is_object()) {
    problem = "holds no JSON object";
    return std::nullopt;
  }
  Settings settings;
  if (const nlohmann::json* folders = tools::Member(value, "recentFolders")) {
    if (!folders->is_array()) {
      problem = tools::Quoted("recentFolders") + " is no list";
      return std::nullopt;
    }
    // Read oldest first, so that each one remembered goes before those older than it.
    for (auto folder = folders->rbegin(); folder != folders->rend(); ++folder) {
      if (!folder->is_string()) {
        problem = tools::Quoted("recentFolders") + " holds something other than a folder's path";
        return std::nullopt;
      }
      RememberFolder(settings, folder->get<std::string>());
    }
  }
  for (const auto& [key, side] :
       {std::pair{"windowWidth", &settings.windowWidth}, std::pair{"windowHeight", &settings.windowHeight}}) {
    if (const nlohmann::json* member = tools::Member(value, key)) {
      const std::optional<std::int64_t> number = tools::WholeNumber(*member);
      if (!number || *number < 0 || *number > kLargestWindowSide) {
        problem = tools::Quoted(key) + " is no window size (a whole number from 0 to " +
                  std::to_string(kLargestWindowSide) + ")";
        return std::nullopt;
      }
      *side = static_cast<std::int32_t>(*number);
    }
  }
  if (const nlohmann::json* layers = tools::Member(value, "layers")) {
    const std::optional<std::string> keys = layers->is_string() ? LayerKeys(layers->get<std::string>()) : std::nullopt;
    if (!keys) {
      problem = tools::Quoted("layers") + " is no set of layer keys (" + std::string(kLayerKeys) + ")";
      return std::nullopt;
    }
    settings.layers = *keys;
  }
  return settings;
}

// The first of PATH.unreadable, PATH.unreadable.2, ... that is not there: a file set aside earlier
// is never replaced.
std::string AsideName(const std::string& path) {
  const std::string base = path + ".unreadable";
  std::string name = base;
  for (int number = 2; platform::InspectPath(name).kind != platform::FileKind::kMissing; ++number) {
    name = base + "." + std::to_string(number);
  }
  return name;
}

// Why the file at `path` holds no settings; empty when `settings` now holds them.
std::string ReadSettings(const std::string& path, Settings& settings) {
  if (std::string problem = InputProblem(path); !problem.empty()) {
    return problem;
  }
  std::error_code error;
  if (std::filesystem::file_size(platform::NativePath(path), error) > kLargestSettingsFile && !error) {
    return "too large for settings";
  }
  const std::optional<std::vector<std::uint8_t>> bytes = tools::ReadWholeFile(path);
  if (!bytes) {
    return "cannot be read: " + std::make_error_code(std::errc::io_error).message();
  }
  const std::string text(bytes->begin(), bytes->end());
  // nlohmann's parser stops at a zero byte, which binary junk may start with: that is no JSON.
  const nlohmann::json value = text.find('\0') == std::string::npos
                                   ? nlohmann::json::parse(text, nullptr, false)
                                   : nlohmann::json(nlohmann::json::value_t::discarded);
  if (value.is_discarded()) {
    return "not JSON";
  }
  std::string problem;
  if (std::optional<Settings> read = SettingsOf(value, problem)) {
    settings = std::move(*read);
  }
  return problem;
}

}  // namespace

SettingsLoad LoadSettings(const std::string& path) {
  SettingsLoad load;
  if (path.empty()) {
    load.problem = "no configuration folder is known: the settings are not kept";
    load.canSave = false;
    return load;
  }
  if (platform::InspectPath(path).kind == platform::FileKind::kMissing) {
    return load;
  }
  const std::string problem = ReadSettings(path, load.settings);
  if (problem.empty()) {
    return load;
  }
  const std::string aside = AsideName(path);
  std::error_code error;
  std::filesystem::rename(platform::NativePath(path), platform::NativePath(aside), error);
  if (error) {
    load.problem = path + ": " + problem + "; it cannot be set aside (" + error.message() +
                   "), so the defaults are used and the settings of this run are not saved";
    load.canSave = false;
    return load;
  }
  load.problem = path + ": " + problem + "; set aside as " + aside + ", the defaults are used";
  return load;
}

std::string SaveSettings(const std::string& path, const Settings& settings) {
  if (path.empty()) {
    return "no configuration folder is known: the settings are not kept";
  }
  nlohmann::json folders = nlohmann::json::array();
  for (const std::string& folder : settings.recentFolders) {
    // JSON text holds Unicode only: a path whose bytes are no UTF-8 could not be read back as
    // it was, and is left out rather than kept wrong.
    if (IsUtf8(folder)) {
      folders.push_back(folder);
    }
  }
  const nlohmann::json value = {{"recentFolders", std::move(folders)},
                                {"windowWidth", settings.windowWidth},
                                {"windowHeight", settings.windowHeight},
                                {"layers", settings.layers}};
  const std::string text = tools::JsonText(value) + "\n";
  const std::string folder = platform::PathText(platform::NativePath(path).parent_path());
  if (std::string problem = folder.empty() ? std::string() : tools::MakeOutputFolder(folder); !problem.empty()) {
    return folder + ": " + problem;
  }
  const std::vector<std::uint8_t> bytes(text.begin(), text.end());
  if (std::string problem = tools::WriteOutput(path, bytes); !problem.empty()) {
    return path + ": " + problem;
  }
  return {};
}

std::string SettingsPath() {
  const std::string config = platform::ConfigFolder();
  if (config.empty()) {
    return {};
  }
  return platform::PathText(platform::NativePath(config) / "karst" / "workbench.json");
}

void RememberFolder(Settings& settings, const std::string& folder) {
  if (folder.empty()) {
    return;
  }
  std::erase(settings.recentFolders, folder);
  settings.recentFolders.insert(settings.recentFolders.begin(), folder);
  if (settings.recentFolders.size() > kMostRecentFolders) {
    settings.recentFolders.resize(kMostRecentFolders);
  }
}

bool LayerShown(const Settings& settings, char key) { return settings.layers.find(key) != std::string::npos; }

void ShowLayer(Settings& settings, char key, bool shown) {
  if (kLayerKeys.find(key) == std::string_view::npos) {
    return;
  }
  std::string keys;
  for (const char layer : kLayerKeys) {
    if (layer == key ? shown : LayerShown(settings, layer)) {
      keys += layer;
    }
  }
  settings.layers = std::move(keys);
}

}  // namespace karst::workbench
