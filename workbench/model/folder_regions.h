// The list of a game folder's regions: each region file with its name and whether the viewer
// would show it, and why not, in the check's own words; and the filter that narrows the list.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/object_library.h"
#include "tools/job/job_context.h"

namespace karst::workbench {

struct RegionStatus {
  std::string path;
  std::string file;     // the name alone
  std::string name;     // the region's name as text for the window (UTF-8), empty when unread
  std::string rawName;  // the same name as the file holds it: Latin-1 bytes
  bool loads = false;
  std::string why;  // the check's lines for why the viewer would refuse it, "; " between them
};

// Checks the region at `path` with the check's own rule (CheckRegion), its entities against
// `library` (may be null). The name is read only from a region that loads.
RegionStatus ScanRegion(const std::string& path, const ObjectLibrary* library);

// Every region of `paths` in turn, one item each, with the object library at `library` (empty:
// none) loaded once first; cancelled between regions, the ones done so far kept.
std::vector<RegionStatus> ScanRegions(const std::vector<std::string>& paths, const std::string& library,
                                      tools::JobContext& context);

// What a region's file name or name must hold: `filter` (typed text, UTF-8), letters compared
// without regard to case; blanks around the filter do not count. An empty filter keeps every
// region. The typed text is made Latin-1 once, then matched against each region.
class RegionFilter {
 public:
  explicit RegionFilter(std::string_view filter);
  bool Matches(const RegionStatus& region) const;

 private:
  std::string typed_;
  std::optional<std::string> latin1_;  // none: no region name can hold what was typed
};

// The indices of the regions the filter keeps.
std::vector<std::size_t> FilterRegions(const std::vector<RegionStatus>& regions, std::string_view filter);

}  // namespace karst::workbench
