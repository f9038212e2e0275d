// The folder chooser drawn inside the window, where the system offers none: one folder at a time,
// its sub-folders to go down into and its parent to go up to.
#pragma once

#include <string>
#include <vector>

namespace karst::workbench {

struct FolderBrowser {
  std::string current;  // absolute, without a trailing separator (but for a root)
  // Names of the sub-folders, sorted without regard to case; hidden ones are left out.
  std::vector<std::string> subfolders;
  std::string problem;  // why `current` cannot be listed, naming it; the list is then empty
};

// The folder at `path` (relative ones taken from the working folder); an empty path is the
// working folder.
FolderBrowser BrowseFolder(const std::string& path);

// The folder above `path`, made absolute; a root is its own parent.
std::string ParentFolder(const std::string& path);

// `path` made absolute (from the working folder) and lexically normal, without a trailing
// separator but for a root's.
std::string AbsolutePath(const std::string& path);

// The path of the sub-folder `name` of `folder`.
std::string SubfolderPath(const std::string& folder, const std::string& name);

}  // namespace karst::workbench
