#include "tools/render/atlas_site.h"

#include <filesystem>
#include <set>
#include <system_error>

#include "platform/paths.h"
#include "tools/files/input_file.h"

namespace karst::tools {
namespace {

constexpr std::string_view kMarkerFirstLine = "karst-render atlas: the files of this site, removed when it is replaced";

bool SafeSitePath(std::string_view line) {
  if (line.empty() || line.front() == '/' || line.find('\\') != std::string_view::npos ||
      line.find('\0') != std::string_view::npos) {
    return false;
  }
  std::size_t parts = 0;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t end = std::min(line.find('/', start), line.size());
    const std::string_view part = line.substr(start, end - start);
    if (part.empty() || part == "." || part == "..") {
      return false;
    }
    ++parts;
    start = end + 1;
  }
  return parts <= 2;
}

}  // namespace

std::string MarkerText(const std::vector<std::string>& files) {
  std::string text(kMarkerFirstLine);
  text += "\n";
  for (const std::string& file : std::set<std::string>(files.begin(), files.end())) {
    text += file + "\n";
  }
  return text;
}

std::optional<std::vector<std::string>> ParseMarker(std::string_view text) {
  const std::size_t firstEnd = text.find('\n');
  if (firstEnd == std::string_view::npos || text.substr(0, firstEnd) != kMarkerFirstLine) {
    return std::nullopt;
  }
  std::vector<std::string> files;
  std::size_t start = firstEnd + 1;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    if (SafeSitePath(line) && line != kAtlasMarkerName) {
      files.emplace_back(line);
    }
    start = end + 1;
  }
  return files;
}

SiteFolder InspectSiteFolder(const std::string& site) {
  SiteFolder folder;
  const std::filesystem::path path = platform::NativePath(site);
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return folder;
  }
  if (!std::filesystem::is_directory(path, error)) {
    folder.kind = SiteFolder::Kind::kForeign;
    folder.reason = "is not a folder; nothing written";
    return folder;
  }
  std::filesystem::directory_iterator entries(path, error);
  if (error) {
    folder.kind = SiteFolder::Kind::kUnreadable;
    folder.reason = "cannot be read: " + error.message();
    return folder;
  }
  if (entries == std::filesystem::directory_iterator()) {
    folder.kind = SiteFolder::Kind::kEmpty;
    return folder;
  }
  const std::optional<std::vector<std::uint8_t>> marker = ReadWholeFile(platform::PathText(path / kAtlasMarkerName));
  const std::optional<std::vector<std::string>> files =
      marker ? ParseMarker(std::string_view(reinterpret_cast<const char*>(marker->data()), marker->size()))
             : std::nullopt;
  if (!files) {
    folder.kind = SiteFolder::Kind::kForeign;
    folder.reason = std::string("holds files and is no atlas of ours (no ") + kAtlasMarkerName +
                    " marker); only an empty folder or an earlier atlas is replaced; nothing written";
    return folder;
  }
  folder.kind = SiteFolder::Kind::kOurs;
  folder.files = *files;
  return folder;
}

RegionPicture Thumbnail(const RegionPicture& picture) {
  std::uint32_t factor = 1;
  while ((picture.width + factor - 1) / factor > kThumbnailSide ||
         (picture.height + factor - 1) / factor > kThumbnailSide) {
    ++factor;
  }
  RegionPicture thumbnail;
  thumbnail.width = (picture.width + factor - 1) / factor;
  thumbnail.height = (picture.height + factor - 1) / factor;
  thumbnail.palette = picture.palette;
  thumbnail.pixels.reserve(static_cast<std::size_t>(thumbnail.width) * thumbnail.height);
  for (std::uint32_t y = 0; y < thumbnail.height; ++y) {
    for (std::uint32_t x = 0; x < thumbnail.width; ++x) {
      thumbnail.pixels.push_back(picture.pixels[static_cast<std::size_t>(y) * factor * picture.width + x * factor]);
    }
  }
  return thumbnail;
}

std::string ScriptCall(std::string_view call, const std::vector<std::string>& jsonArguments) {
  std::string text = "karstAtlas.";
  text += call;
  text += "(";
  for (std::size_t i = 0; i < jsonArguments.size(); ++i) {
    text += (i == 0 ? "" : ",") + jsonArguments[i];
  }
  text += ");\n";
  return text;
}

}  // namespace karst::tools
