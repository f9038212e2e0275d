// The parts of an atlas site that follow rules of their own, apart from drawing: the marker file
// that says a folder holds an atlas of ours and which files it wrote, what may be done with a
// folder found at the site's place, the thumbnails, and the script files that carry the data to
// pages opened from disk (which cannot fetch files).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/render/render_region.h"

namespace karst::tools {

// The marker's name inside the site.
inline constexpr const char* kAtlasMarkerName = ".karst-atlas";

// The marker's text: its first line, then every file of the site relative to it, one a line, each
// once, in byte order.
std::string MarkerText(const std::vector<std::string>& files);

// The files a marker lists; nothing when the text is no marker of ours. A line that could lead
// out of the site or into a folder we never make (absolute, "..", ".", empty parts, more than one
// folder deep) is dropped, so a marker written by someone else can never make us delete their
// files.
std::optional<std::vector<std::string>> ParseMarker(std::string_view text);

// What the folder at the site's place is.
struct SiteFolder {
  enum class Kind { kAbsent, kEmpty, kOurs, kForeign, kUnreadable };
  Kind kind = Kind::kAbsent;
  std::vector<std::string> files;  // for kOurs: the files its marker lists
  std::string reason;              // for kForeign and kUnreadable: why it is refused
};

SiteFolder InspectSiteFolder(const std::string& site);

// The longest side a thumbnail has at most.
inline constexpr std::uint32_t kThumbnailSide = 256;

// The picture reduced by the smallest whole factor that brings both sides to kThumbnailSide or
// less, taking the top-left pixel of every factor x factor square (palette indices cannot be
// averaged); the palette is kept.
RegionPicture Thumbnail(const RegionPicture& picture);

// A script that hands JSON texts to the page: `karstAtlas.<call>(<first>,<second>);`. JSON text
// of ours is ASCII, which is valid script text as it is.
std::string ScriptCall(std::string_view call, const std::vector<std::string>& jsonArguments);

}  // namespace karst::tools
