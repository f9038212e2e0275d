// A temporary directory for one test, removed with everything in it when the test ends.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace karst::testing {

class TempDir {
 public:
  TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  const std::filesystem::path& path() const { return path_; }
  // Writes `bytes` to `name` inside the directory and returns the file's full path.
  std::filesystem::path Write(const std::string& name, std::span<const std::uint8_t> bytes) const;

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path);

// The names of the entries of `directory`, sorted.
std::set<std::string> FileNamesIn(const std::filesystem::path& directory);

// Writes the sample world's files into `folder`, made when missing.
void WriteSampleWorld(const std::filesystem::path& folder);

}  // namespace karst::testing
