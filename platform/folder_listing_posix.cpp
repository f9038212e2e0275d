#include "platform/folder_listing.h"

namespace karst::platform {

bool IsHiddenEntry(const std::filesystem::directory_entry& entry) {
  return entry.path().filename().native().starts_with('.');
}

}  // namespace karst::platform
