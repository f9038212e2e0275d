#include "tools/common/output_checks.h"

#include <array>
#include <fstream>

#include "platform/paths.h"
#include "tools/common/output_file.h"

namespace karst::tools {
namespace {

constexpr std::array<char, 4> kContainerMagic = {'G', 'F', 'F', 'I'};

bool HoldsContainer(const std::string& path) {
  std::array<char, 4> head{};
  std::ifstream file(platform::NativePath(path), std::ios::binary);
  return file.read(head.data(), head.size()) && head == kContainerMagic;
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
  return {};
}

std::string RefuseOutputFolder(const std::string& folder, const InputFiles& inputs) {
  if (folder == kStandardOutputName) {
    return "a folder is needed: the standard output takes one file only (./- names a folder called -); "
           "nothing written";
  }
  return RefuseOutput(folder, inputs);
}

}  // namespace karst::tools
