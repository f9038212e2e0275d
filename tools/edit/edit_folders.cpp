#include "tools/edit/edit_folders.h"

#include <algorithm>
#include <filesystem>

#include "platform/paths.h"
#include "platform/user_folders.h"
#include "tools/text/content_hash.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

// The absolute path, links resolved as far as they lead.
fs::path Absolute(const std::string& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(platform::NativePath(path), error);
  return error ? fs::absolute(platform::NativePath(path), error).lexically_normal() : resolved;
}

bool Within(const fs::path& folder, const fs::path& path) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

}  // namespace

std::string EditFolderFor(const std::string& gameFile) {
  const std::string data = platform::DataFolder();
  if (data.empty()) {
    return {};
  }
  const fs::path file = Absolute(gameFile);
  const fs::path gameFolder = file.parent_path();
  const std::string folderText = platform::PathText(gameFolder);
  const std::string hash =
      ContentHash({reinterpret_cast<const std::uint8_t*>(folderText.data()), folderText.size()}).substr(0, 8);
  std::string folderName = platform::PathText(gameFolder.filename());
  folderName = (folderName.empty() ? std::string("root") : folderName) + "-" + hash;
  const fs::path edits = Absolute(data) / "karst" / "edits";
  // Its dots as dashes: a folder with a game file's name would be taken for one ("rgn01-gff").
  std::string fileName = Lower(platform::PathText(file.filename()));
  std::replace(fileName.begin(), fileName.end(), '.', '-');
  const fs::path edit = edits / platform::NativePath(folderName) / platform::NativePath(fileName);
  if (Within(gameFolder, edit)) {
    return {};
  }
  return platform::PathText(edit);
}

}  // namespace karst::tools
