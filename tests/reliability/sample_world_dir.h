// The sample world written into a temporary folder, as the viewer finds it beside its program.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "authoring/sample_world.h"
#include "tests/support/temp_dir.h"

namespace karst::reliability_tests {

class SampleWorldDir {
 public:
  SampleWorldDir() : files_(authoring::MakeSampleWorld()) {
    for (const authoring::WorldFile& file : files_) {
      dir_.Write(file.name, file.bytes);
    }
  }

  // The working path as the viewer forms it: the folder and its separator.
  std::string path() const { return dir_.path().string() + "/"; }
  std::string pathOf(const std::string& name) const { return (dir_.path() / name).string(); }
  const std::vector<authoring::WorldFile>& files() const { return files_; }
  std::vector<std::string> regionPaths() const {
    std::vector<std::string> paths;
    for (const authoring::WorldFile& file : files_) {
      if (file.name != authoring::kObjectLibraryFileName) {
        paths.push_back(pathOf(file.name));
      }
    }
    return paths;
  }
  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const { dir_.Write(name, bytes); }
  void Remove(const std::string& name) const { std::filesystem::remove(dir_.path() / name); }

  // True when every file of the world still holds exactly the bytes it was written with.
  bool Unchanged() const {
    for (const authoring::WorldFile& file : files_) {
      if (testing::ReadFileBytes(dir_.path() / file.name) != file.bytes) {
        return false;
      }
    }
    return true;
  }

 private:
  std::vector<authoring::WorldFile> files_;
  testing::TempDir dir_;
};

}  // namespace karst::reliability_tests
