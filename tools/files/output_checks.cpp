#include "tools/files/output_checks.h"

#include <array>
#include <filesystem>
#include <fstream>

#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/files/output_file.h"

namespace karst::tools {
namespace {

constexpr std::array<char, 4> kContainerMagic = {'G', 'F', 'F', 'I'};

bool HoldsContainer(const std::string& path) {
  std::array<char, 4> head{};
  std::ifstream file(platform::NativePath(path), std::ios::binary);
  return file.read(head.data(), head.size()) && head == kContainerMagic;
}

// The last part of the path, a trailing separator aside, is a name the viewer and the tools look
// for in a game folder.
bool NamedLikeGameFile(const std::string& path) {
  std::filesystem::path native = platform::NativePath(path);
  if (!native.has_filename()) {
    native = native.parent_path();
  }
  const std::string name = platform::PathText(native.filename());
  return platform::WildcardMatch(kRegionFilePattern, name) || platform::WildcardMatch(kObjectLibraryFileName, name);
}

}  // namespace

InputFiles::InputFiles(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    const platform::FileInfo info = path.empty() ? platform::FileInfo{} : platform::InspectPath(path);
    if (info.kind != platform::FileKind::kMissing) {
      inputs_.push_back({path, info.identity});
    }
  }
}

std::string InputFiles::Find(const std::string& path) const {
  const platform::FileInfo info = platform::InspectPath(path);
  if (info.kind == platform::FileKind::kMissing) {
    return {};
  }
  for (const Input& input : inputs_) {
    if (input.identity == info.identity) {
      return input.path;
    }
  }
  return {};
}

std::string RefuseOutput(const std::string& output, const InputFiles& inputs) {
  if (output == kStandardOutputName) {
    return {};
  }
  if (const std::string input = inputs.Find(output); !input.empty()) {
    return "is the same file as the input " + input + "; nothing written";
  }
  const platform::FileKind kind = platform::InspectPath(output).kind;
  if (kind == platform::FileKind::kBlockDevice) {
    return "is a block device, which no picture or chunk is written onto; nothing written";
  }
  if (kind == platform::FileKind::kRegular && HoldsContainer(output)) {
    return "holds a GFF container, which no tool writes over; nothing written";
  }
  if (NamedLikeGameFile(output)) {
    return "has a game file's name (RGN*.GFF or OBJEX.GFF, in any case): the viewer and the tools would take it "
           "for one; nothing written";
  }
  return {};
}

std::string RefuseOutputFolder(const std::string& folder, const InputFiles& inputs) {
  if (folder == kStandardOutputName) {
    return "a folder is needed: the standard output takes one file only (./- names a folder called -); "
           "nothing written";
  }
  return RefuseOutput(folder, inputs);
}

std::string RefuseNonPngName(const std::string& output) {
  if (output == kStandardOutputName) {
    return {};
  }
  const std::string extension = platform::PathText(platform::NativePath(output).extension());
  if (extension.empty() || platform::WildcardMatch(".png", extension)) {
    return {};
  }
  return "ends in " + extension + ", but what is written is a PNG picture: name it .png; nothing written";
}

}  // namespace karst::tools
