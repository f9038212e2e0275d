// What no output of a tool may be, checked before anything is written: one of the run's inputs
// (by device and inode, whatever link or spelling leads to it), an existing file that holds a
// GFF container (whatever its name), a block device, or anything named like a game file
// (RGN*.GFF, OBJEX.GFF, in any case): what these checks guard is never a container, and the
// viewer and the tools would take it for one, so one picture could make a game folder unusable.
// A refused output ends the run with exit code 2 and nothing written; there is no option to
// write anyway.
#pragma once

#include <string>
#include <vector>

#include "platform/file_safety.h"

namespace karst::tools {

// The files a run reads, as found when the run starts.
class InputFiles {
 public:
  // Paths that lead nowhere are left out: no output can be them. Empty paths are skipped.
  explicit InputFiles(const std::vector<std::string>& paths);

  // The input `path` leads to, as it was named; empty when it leads to none.
  std::string Find(const std::string& path) const;

 private:
  struct Input {
    std::string path;
    platform::FileIdentity identity;
  };
  std::vector<Input> inputs_;
};

// Why `output` must not be written: "is the same file as the input RGN01.GFF; nothing written",
// "holds a GFF container ...", "is a block device ...", "has a game file's name ...". Empty
// when it may be written; "-" may.
std::string RefuseOutput(const std::string& output, const InputFiles& inputs);

// The same for a folder a command writes several files into, which "-" cannot be: a folder named
// like a region file would be listed among the regions.
std::string RefuseOutputFolder(const std::string& folder, const InputFiles& inputs);

// Why a PNG picture must not be written under the name `output`: it ends in another extension
// ("out.jpg" would hold a PNG that nothing reading it as JPEG can open). Empty for ".png" in any
// case, for a name without an extension, and for "-".
std::string RefuseNonPngName(const std::string& output);

}  // namespace karst::tools
