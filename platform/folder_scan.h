// What both sides of platform/folder_watch.h share: which names a watch ignores, whether its
// folder is still the one it watched, and the picture of a folder's files that the looking watch
// compares twice a second.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/file_safety.h"

namespace karst::platform::folder_scan {

// How often a watch without the system's notification looks.
inline constexpr int kLookMilliseconds = 500;

// Whether a change to `relative` ('/' between its parts) is one of the `ignored` names or a
// temporary file written aside for one (".NAME.….part" beside it).
bool Ignored(const std::vector<std::string>& ignored, std::string_view relative);

// Every file and folder below a folder, but the ignored ones: its size and modification time.
struct Scan {
  bool present = false;  // the folder could be listed
  std::map<std::string, std::tuple<bool, std::uintmax_t, std::int64_t>> entries;
};
Scan ScanFolder(const std::string& folder, const std::vector<std::string>& ignored);

// Whether the folder at `folder` is no longer the folder `identity` (deleted, or another one
// renamed into its place).
bool Gone(const std::string& folder, const FileIdentity& identity);

}  // namespace karst::platform::folder_scan
