// The visible map view as a picture: the composed panel pixels written as an RGB PNG, aside and
// renamed like every output of the tools, so a failed write leaves nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "workbench/model/screen_colours.h"

namespace karst::workbench {

// `pixels`: width x height ARGB pixels, row by row (alpha is not written). Refuses, writing
// nothing, what no tool's output may be (a game file's name, a file holding a container, a
// device) and a name with an extension other than .png. Empty on success, else the reason,
// naming the file.
std::string WriteViewPicture(const std::string& path, std::span<const Argb> pixels, std::int32_t width,
                             std::int32_t height);

}  // namespace karst::workbench
