#include <utility>

#include "app/map_viewer_app.h"

namespace karst {

int ViewerMain(platform::InstanceHandle instance, const ViewerOptions& options) {
  StartOptions start;
  start.window = options.window;
  start.windowScale = options.scale.value_or(0);
  std::optional<std::string> workingPath;
  if (options.path) {
    const StartPoint point = StartPointFor(*options.path);
    workingPath = point.folder;
    start.firstRegion = point.firstRegion;
    start.namedFolder = true;
    start.watch = true;
    if (point.missingFile) {
      start.missingFile = *options.path;
    }
  } else {
    workingPath = FindWorkingPath();
    if (workingPath && options.sampleWorld) {
      workingPath = SampleWorldFolder(*workingPath);
      start.namedFolder = true;
    }
  }
  return RunViewer(instance, std::move(workingPath), start);
}

}  // namespace karst
