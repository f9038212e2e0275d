#include "tools/pack/pack_target.h"

#include <algorithm>
#include <filesystem>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/gff_file.h"
#include "platform/file_safety.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/text/content_hash.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

// The file a name stands for, as its folder spells it: the entry of that very name, else the one
// whose name differs only by case, if any. On a file system that ignores case the name as given
// already opens that file, but the kept original and the messages take the folder's spelling.
std::string Resolved(const std::string& output) {
  const fs::path native = platform::NativePath(output);
  if (!native.has_filename()) {
    return output;
  }
  const std::string found =
      platform::LocateFile(platform::PathText(native.parent_path()), platform::PathText(native.filename()));
  return found.empty() ? output : found;
}

// Why `bytes` may not be written under the name of `path`: the viewer takes RGN*.GFF for regions
// and OBJEX.GFF for its object library, whatever they hold.
std::string WrongName(const std::string& path, std::span<const std::uint8_t> bytes) {
  GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), LoadReport())) {
    return {};
  }
  const bool library = LooksLikeObjectLibrary(file.directory());
  bool region = false;
  for (const ChunkType& record : file.directory()) {
    region = region || SameTag(record.tag, kTagPal) || SameTag(record.tag, kTagTile) || SameTag(record.tag, kTagMap);
  }
  const std::string name = platform::PathText(platform::NativePath(path).filename());
  if (library && platform::WildcardMatch(kRegionFilePattern, name)) {
    return "has a region file's name (RGN*.GFF), but what is packed is an object library: the viewer would take it "
           "for a region and turn it away; give it another name";
  }
  if (!library && region && platform::WildcardMatch(kObjectLibraryFileName, name)) {
    return "has the object library's name (OBJEX.GFF), but what is packed is a region: the viewer would find no "
           "objects in it and not start; give it another name";
  }
  return {};
}

}  // namespace

PackTarget PlanPackTarget(const std::string& output, std::span<const std::uint8_t> bytes,
                          const PackTargetRules& rules) {
  PackTarget target;
  target.path = Resolved(output);
  target.key = PackedFileKey(target.path);
  const auto refuse = [&](PackTargetRefusal refusal, std::string reason) {
    target.refusal = refusal;
    target.reason = std::move(reason);
    return target;
  };
  if (std::string wrong = WrongName(target.path, bytes); !wrong.empty()) {
    return refuse(PackTargetRefusal::kWrongName, std::move(wrong));
  }
  const platform::FileKind kind = platform::InspectPath(target.path).kind;
  if (kind == platform::FileKind::kMissing) {
    return target;
  }
  if (kind != platform::FileKind::kRegular) {
    return refuse(PackTargetRefusal::kNoFile,
                  "exists and is no plain file; a packed container is written only as a file");
  }
  target.exists = true;
  if (!rules.replace && !rules.replaceOwnOutput) {
    return refuse(PackTargetRefusal::kExists, "exists");
  }
  const std::optional<std::vector<std::uint8_t>> now = ReadWholeFile(target.path);
  if (!now) {
    const std::string problem = InputProblem(target.path);
    return refuse(PackTargetRefusal::kNoFile, (problem.empty() ? std::string("cannot be read") : problem) +
                                                  ", so it cannot be kept before it is replaced");
  }
  target.hash = ContentHash(*now);
  target.identical = std::equal(now->begin(), now->end(), bytes.begin(), bytes.end());
  const PackRecordEntry* last = rules.record != nullptr ? rules.record->Find(target.key) : nullptr;
  if (rules.replaceOwnOutput) {
    const bool own = last != nullptr && last->hash == target.hash;
    const bool original = target.hash == rules.sourceHash;
    if (!rules.replace && !own && !target.identical) {
      return refuse(PackTargetRefusal::kExists, "exists, and was not written by this folder's last pack");
    }
    target.keep = !((own && !original) || (original && rules.originalKept));
  }
  if (target.identical || rules.replaceChanged) {
    return target;
  }
  if (target.hash != rules.sourceHash && (last == nullptr || last->hash != target.hash)) {
    return refuse(PackTargetRefusal::kChanged,
                  "changed since this folder was unpacked or last packed; packing would undo those changes");
  }
  return target;
}

std::string PutPackedFile(const PackTarget& target, std::span<const std::uint8_t> bytes, std::string& kept,
                          std::chrono::milliseconds inUsePatience, bool& inUse) {
  if (target.identical) {
    return {};
  }
  OutputFile output(target.path);
  if (!output.error().empty()) {
    return output.error();
  }
  if (const std::string failure = output.Write(bytes); !failure.empty()) {
    return failure;
  }
  // What is there must still be what was planned for: a file that appeared or changed meanwhile
  // is someone else's work.
  const bool there = platform::InspectPath(target.path).kind != platform::FileKind::kMissing;
  const std::optional<std::vector<std::uint8_t>> now = there ? ReadWholeFile(target.path) : std::nullopt;
  if (there != target.exists || (there && (!now || ContentHash(*now) != target.hash))) {
    return "changed while it was being packed";
  }
  if (target.exists && target.keep) {
    std::string candidate;
    if (const std::string failure = platform::KeepOriginal(target.path, candidate); !failure.empty()) {
      return "cannot keep the file it replaces as " + candidate + ": " + failure;
    }
    kept = candidate;
  }
  output.SetRenamePatience(inUsePatience);
  const std::string failure = output.Finish({});
  inUse = output.inUse();
  return failure;
}

}  // namespace karst::tools
