#include "workbench/model/folder_regions.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "data/file_problems.h"
#include "data/region.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/inspect/game_check.h"
#include "tools/text/name_text.h"
#include "workbench/model/window_text.h"

namespace karst::workbench {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool HoldsAsciiIgnoringCase(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [](char a, char b) { return LowerAscii(a) == LowerAscii(b); }) != text.end();
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

RegionStatus ScanRegion(const std::string& path, const ObjectLibrary* library) {
  RegionStatus status;
  status.path = path;
  status.file = platform::FileNameOf(path);
  const tools::RegionCheck check = tools::CheckRegion(path, library);
  status.loads = check.loads;
  if (!check.loads) {
    // The check's lines that say why the region switch turns the region away: each ends so.
    for (const tools::Finding& finding : check.findings) {
      if (finding.message.find(kRegionWouldNotLoad) == std::string::npos) {
        continue;
      }
      status.why += (status.why.empty() ? "" : "; ") + WindowText(tools::FindingLine(finding));
    }
    return status;
  }
  std::vector<LoadNote> quiet;
  std::string error;
  const std::unique_ptr<Region> region = tools::ReadRegionInput(path, LoadReport::Into(quiet), error);
  if (region != nullptr && region->name) {
    const std::string& bytes = *region->name;
    status.rawName =
        bytes.substr(0, RegionNameLength(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size())));
    status.name = WindowText(status.rawName);
  }
  return status;
}

std::vector<RegionStatus> ScanRegions(const std::vector<std::string>& paths, const std::string& library,
                                      tools::JobContext& context) {
  context.Report(0, paths.size());
  std::optional<tools::LibraryCheck> objects;
  if (!library.empty()) {
    objects = tools::CheckLibrary(library);
  }
  std::vector<RegionStatus> regions;
  for (const std::string& path : paths) {
    if (context.Cancelled()) {
      break;
    }
    regions.push_back(ScanRegion(path, objects ? objects->library.get() : nullptr));
    context.Report(regions.size(), paths.size(), regions.back().file);
  }
  return regions;
}

RegionFilter::RegionFilter(std::string_view filter) : typed_(Trimmed(filter)) {
  std::string problem;
  // A region's name is Latin-1: what was typed is matched as Latin-1 too, with the tools' own rule.
  const std::optional<std::vector<std::uint8_t>> latin1 =
      tools::Latin1Of(std::span(reinterpret_cast<const std::uint8_t*>(typed_.data()), typed_.size()), problem);
  if (latin1) {
    latin1_ = std::string(latin1->begin(), latin1->end());
  }
}

bool RegionFilter::Matches(const RegionStatus& region) const {
  return typed_.empty() || HoldsAsciiIgnoringCase(region.file, typed_) ||
         (latin1_ && tools::HoldsIgnoringCase(region.rawName, *latin1_));
}

std::vector<std::size_t> FilterRegions(const std::vector<RegionStatus>& regions, std::string_view filter) {
  const RegionFilter kept(filter);
  std::vector<std::size_t> indices;
  for (std::size_t index = 0; index < regions.size(); ++index) {
    if (kept.Matches(regions[index])) {
      indices.push_back(index);
    }
  }
  return indices;
}

}  // namespace karst::workbench
