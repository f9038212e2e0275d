// Writing a tool's output so that nothing half-written remains: the bytes go to a temporary
// file in the target's directory, which is renamed over the target only once it is complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace karst::tools {

// A name for a temporary file beside `target` (same directory, so the rename stays on one file
// system), hidden and unlikely to be in use: ".<name>.<random>.part".
std::filesystem::path TemporaryPathFor(const std::filesystem::path& target);

// Renames `temporary` over `target`. When that fails, removes `temporary` and gives the reason;
// empty on success.
std::string CommitTemporary(const std::filesystem::path& temporary, const std::filesystem::path& target);

// Writes `bytes` to `target` through a temporary file. Empty on success, else the reason; on
// failure the target is as it was and no temporary file remains.
std::string WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes);

}  // namespace karst::tools
