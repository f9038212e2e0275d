#include "workbench/model/folder_browser.h"

#include <filesystem>
#include <system_error>

#include "platform/folder_listing.h"
#include "platform/paths.h"

namespace karst::workbench {

std::string AbsolutePath(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(platform::NativePath(path), error);
  if (error) {
    absolute = platform::NativePath(path);
  }
  absolute = absolute.lexically_normal();
  // "/games/world/" names the folder "/games/world"; a root keeps its separator.
  if (!absolute.has_filename() && absolute.has_relative_path()) {
    absolute = absolute.parent_path();
  }
  return platform::PathText(absolute);
}

FolderBrowser BrowseFolder(const std::string& path) {
  FolderBrowser browser;
  browser.current = AbsolutePath(path.empty() ? "." : path);
  platform::FolderListing listing = platform::ListSubfolders(browser.current);
  if (!listing.problem.empty()) {
    browser.problem = browser.current + ": " + listing.problem;
    return browser;
  }
  browser.subfolders = std::move(listing.subfolders);
  return browser;
}

std::string ParentFolder(const std::string& path) {
  return platform::PathText(platform::NativePath(AbsolutePath(path)).parent_path());
}

std::string SubfolderPath(const std::string& folder, const std::string& name) {
  return AbsolutePath(platform::PathText(platform::NativePath(folder) / platform::NativePath(name)));
}

}  // namespace karst::workbench
