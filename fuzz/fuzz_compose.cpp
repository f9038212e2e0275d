// One composed frame from a region and an object library given as bytes (layout in
// fuzz/compose_input.h): a headless display takes the library and the region as the viewer
// does at start, scrolls to the view the input names and presents. Whatever the region switch
// left behind, drawing a frame from it stays inside every buffer.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "data/object_library.h"
#include "data/region.h"
#include "display/display_surface.h"
#include "fuzz/compose_input.h"
#include "fuzz/fuzz_budget.h"
#include "gff/gff_file.h"
#include "platform/message_box.h"

namespace {

constexpr std::int32_t kScreenWidth = 640;
constexpr std::int32_t kScreenHeight = 480;

template <typename Load>
auto LoadFromBytes(std::span<const std::uint8_t> bytes, Load load) -> decltype(load(std::declval<karst::GffFile&>())) {
  karst::GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), karst::LoadReport(),
                      karst::fuzzing::kFuzzBaseBytes)) {
    return nullptr;
  }
  return load(file);
}

// Every object surface holds frame 0 of its bitmap with the two spare columns and rows.
bool SurfacesFitTheirFrames(const karst::DisplaySurface& display) {
  for (const auto& [number, surface] : display.objectSurfaces) {
    if (surface == nullptr) {
      continue;
    }
    const auto found = display.objects->bmpSets.find(number);
    if (found == display.objects->bmpSets.end() || found->second->frames.empty()) {
      return false;
    }
    const karst::Frame& frame = found->second->frames[0];
    if (surface->width() != static_cast<std::int32_t>(frame.width + 2) ||
        surface->height() != static_cast<std::int32_t>(frame.height + 2)) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The switch's own messages are recorded, never shown.
  karst::platform::CaptureMessageBoxes(true);
  const karst::fuzzing::ComposeInput input = karst::fuzzing::SplitComposeInput({data, size});

  karst::DisplaySurface display(nullptr, kScreenHeight, kScreenWidth, 8, 0);
  if (display.InitDirectDraw() != 1) {
    __builtin_trap();
  }
  display.UseObjectLibrary(LoadFromBytes(
      input.library, [](karst::GffFile& file) { return karst::LoadObjectLibrary(file, karst::LoadReport()); }));
  if (!SurfacesFitTheirFrames(display)) {
    __builtin_trap();
  }
  const bool switched = display.SwitchToRegion(
      LoadFromBytes(input.region, [](karst::GffFile& file) { return karst::LoadRegion(file, karst::LoadReport()); }));
  if (switched) {
    display.ScrollBy(input.viewX, input.viewY);
  } else {
    display.PresentFrame();
  }

  const std::uint64_t expectedFlips = display.region != nullptr ? 1 : 0;
  if (display.primary->flipCount() != expectedFlips || display.viewX < 0 || display.viewY < 0 ||
      display.viewX > 2048 - kScreenWidth || display.viewY > 1536 - kScreenHeight) {
    __builtin_trap();
  }
  if (expectedFlips == 1 && display.primary->presentedFrame().size() != std::size_t{kScreenWidth} * kScreenHeight) {
    __builtin_trap();
  }
  return 0;
}
