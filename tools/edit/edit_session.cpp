#include "tools/edit/edit_session.h"

#include <filesystem>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/file_safety.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/edit/edit_folders.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/pack/pack_job.h"
#include "tools/pack/pack_record.h"
#include "tools/pack/unpack_files.h"
#include "tools/pack/unpack_job.h"
#include "tools/pack/unpack_manifest.h"
#include "tools/text/content_hash.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStateMadeBy = "karst edit";
constexpr std::uint64_t kStateFormat = 1;
// How long a rename is tried again while another program holds the game file.
constexpr std::chrono::milliseconds kInUsePatience{3000};

// The state with the game file it is of; the kept original as its suffix to the game file's name
// (".orig", ".orig.2"), which is plain ASCII in any file system.
struct StoredState {
  std::string target;  // PackedFileKey of the game file
  std::string keptSuffix;
  bool createdTarget = false;
  bool paused = false;
};

std::string StatePath(const std::string& folder) {
  return platform::PathText(platform::NativePath(folder) / kEditStateName);
}

StoredState ReadStoredState(const std::string& folder) {
  const std::optional<std::vector<std::uint8_t>> text = ReadWholeFile(StatePath(folder));
  if (!text) {
    return {};
  }
  const nlohmann::json json = nlohmann::json::parse(text->begin(), text->end(), nullptr, false);
  if (!json.is_object() || json.value("madeBy", "") != kStateMadeBy || json.value("format", 0U) != kStateFormat) {
    return {};
  }
  StoredState state;
  state.target = json.value("target", "");
  state.keptSuffix = json.value("kept", "");
  state.createdTarget = json.value("createdTarget", false);
  state.paused = json.value("paused", false);
  // A suffix that is not a kept name's would lead elsewhere: it is not ours.
  if (!state.keptSuffix.empty() && !state.keptSuffix.starts_with(".orig")) {
    state.keptSuffix.clear();
  }
  return state;
}

std::string WriteStoredState(const std::string& folder, const StoredState& state) {
  const nlohmann::ordered_json json = {{"madeBy", kStateMadeBy},
                                       {"format", kStateFormat},
                                       {"about", "the live edit's own state: bookkeeping, not a file to edit"},
                                       {"target", state.target},
                                       {"kept", state.keptSuffix},
                                       {"createdTarget", state.createdTarget},
                                       {"paused", state.paused}};
  const std::string text = json.dump(1, ' ', true) + "\n";
  if (const std::string failure = WriteOutput(StatePath(folder), std::vector<std::uint8_t>(text.begin(), text.end()));
      !failure.empty()) {
    return StatePath(folder) + ": " + failure;
  }
  return {};
}

// The path a record's key (PackedFileKey: each byte as a character) names.
std::string TargetOfKey(std::string_view key) {
  std::string bytes;
  for (std::size_t at = 0; at < key.size();) {
    const auto decoded = DecodeUtf8(key, at);
    if (!decoded || decoded->first > 0xff) {
      return {};
    }
    bytes.push_back(static_cast<char>(decoded->first));
    at += decoded->second;
  }
  return bytes;
}

JobProblem Problem(std::string file, ProblemKind kind, std::string words) {
  return {std::move(file), kind, std::move(words), {}};
}

bool IsFolder(const std::string& path) { return platform::InspectPath(path).kind == platform::FileKind::kDirectory; }

// The region whose colours a container that is no region takes: the first beside it.
std::string PaletteFor(const std::string& gameFile) {
  const fs::path native = platform::NativePath(gameFile);
  if (platform::WildcardMatch("RGN*.GFF", platform::PathText(native.filename()))) {
    return {};
  }
  const std::vector<std::string> regions =
      platform::FindFiles(platform::PathText(native.parent_path() / platform::NativePath("RGN*.GFF")));
  return regions.empty() ? std::string() : regions.front();
}

}  // namespace

EditState ReadEditState(const std::string& folder) {
  const StoredState stored = ReadStoredState(folder);
  EditState state;
  state.createdTarget = stored.createdTarget;
  state.paused = stored.paused;
  if (!stored.keptSuffix.empty() && !stored.target.empty()) {
    state.keptOriginal = TargetOfKey(stored.target) + stored.keptSuffix;
  }
  return state;
}

EditStart StartEdit(const std::string& gameFile, JobContext& context) {
  EditStart start;
  const std::string folder = EditFolderFor(gameFile);
  if (folder.empty()) {
    start.problems.push_back(
        Problem(gameFile, ProblemKind::kOutputRefused,
                "has no edit folder: the system names no folder for the user's data outside the game "
                "folder; unpack it into a folder of your own instead"));
    return start;
  }
  // Refused now rather than at the first save: an edit that can never be put back is lost work.
  if (const std::string problem = FirstOutputProblem(gameFile); !problem.empty()) {
    start.problems.push_back(Problem(gameFile, ProblemKind::kOutputRefused,
                                     "cannot be edited where it is: its folder cannot be written (" + problem +
                                         "); copy the game folder somewhere it can be, and edit it there"));
    return start;
  }
  StoredState state = ReadStoredState(folder);
  const std::string key = PackedFileKey(gameFile);
  if (HoldsUnpack(folder) && state.target == key) {
    start.resumed = true;
  } else {
    std::error_code error;
    fs::create_directories(platform::NativePath(folder).parent_path(), error);
    UnpackRequest request;
    request.input = gameFile;
    request.output = folder;
    request.palette = PaletteFor(gameFile);
    const UnpackResult unpacked = UnpackJob(request, context);
    if (unpacked.refused || unpacked.cancelled || unpacked.folders.empty() || !unpacked.folders.back().finished) {
      start.problems = unpacked.problems;
      return start;
    }
    state = StoredState{key, {}, false, false};
  }
  state.paused = false;
  if (const std::string failure = WriteStoredState(folder, state); !failure.empty()) {
    start.problems.push_back(Problem(folder, ProblemKind::kWriteFailed, failure));
    return start;
  }
  start.folder = folder;
  return start;
}

EditPack PackEdit(const EditPackRequest& request, JobContext& context) {
  EditPack pack;
  if (!IsFolder(request.folder)) {
    pack.outcome = EditOutcome::kFolderGone;
    return pack;
  }
  if (!HoldsUnpack(request.folder)) {
    // A folder of unpacks would be packed into a folder of files: never what an edit means.
    pack.problems.push_back(Problem(request.folder, ProblemKind::kNotContainer,
                                    "holds no manifest.json: not one folder that karst-gff unpack made (a folder of "
                                    "unpacks is not watched; watch each of its folders)"));
    return pack;
  }
  StoredState state = ReadStoredState(request.folder);
  const std::string key = PackedFileKey(request.target);
  if (state.target != key) {
    state = StoredState{key, {}, false, false};
  }
  if (state.paused) {
    pack.outcome = EditOutcome::kPaused;
    return pack;
  }
  const bool targetThere = platform::InspectPath(request.target).kind != platform::FileKind::kMissing;
  PackRequest packRequest{request.folder, request.target, request.replace, request.replaceChanged, request.options};
  packRequest.replaceOwnOutput = true;
  packRequest.originalKept = state.createdTarget || (!state.keptSuffix.empty() &&
                                                     platform::InspectPath(request.target + state.keptSuffix).kind ==
                                                         platform::FileKind::kRegular);
  packRequest.inUsePatience = kInUsePatience;
  PackResult result = PackJob(packRequest, context);
  pack.problems = std::move(result.problems);
  const PackedFolder* folder = result.folders.empty() ? nullptr : &result.folders.front();
  // The kept original is noted even when the rename then failed: it stays kept, and the next try
  // must not keep the same bytes again.
  if (folder != nullptr && !folder->kept.empty() && state.keptSuffix.empty() &&
      folder->kept.size() > request.target.size() && folder->kept.starts_with(request.target)) {
    state.keptSuffix = folder->kept.substr(request.target.size());
    pack.keptOriginal = folder->kept;
  }
  if (result.complete && folder != nullptr) {
    pack.outcome = folder->identical ? EditOutcome::kUnchanged : EditOutcome::kReplaced;
    state.createdTarget = state.createdTarget || (!targetThere && folder->written);
  } else if (result.cancelled) {
    pack.outcome = EditOutcome::kCancelled;
  } else if (!IsFolder(request.folder)) {
    pack.outcome = EditOutcome::kFolderGone;
  } else {
    pack.outcome = EditOutcome::kRefused;
    for (const JobProblem& problem : pack.problems) {
      if (problem.kind == ProblemKind::kOutputChanged) {
        pack.outcome = EditOutcome::kChangedByOther;
      } else if (problem.kind == ProblemKind::kFileInUse) {
        pack.outcome = EditOutcome::kInUse;
      }
    }
  }
  if (pack.outcome != EditOutcome::kFolderGone) {
    if (const std::string failure = WriteStoredState(request.folder, state); !failure.empty()) {
      pack.problems.push_back(
          Problem(request.folder, ProblemKind::kWriteFailed, "cannot keep the edit's state (" + failure + ")"));
    }
  }
  return pack;
}

std::string RevertEdit(const std::string& folder, const std::string& target) {
  StoredState state = ReadStoredState(folder);
  if (state.target != PackedFileKey(target) || state.keptSuffix.empty()) {
    return state.createdTarget ? target + ": the edit made this file; there was no original to put back"
                               : target + ": the edit has kept no original of it: it has not replaced it yet";
  }
  const std::string kept = target + state.keptSuffix;
  const std::optional<std::vector<std::uint8_t>> original = ReadWholeFile(kept);
  if (!original) {
    const std::string problem = InputProblem(kept);
    return kept + ": the kept original cannot be read" + (problem.empty() ? std::string() : ": " + problem);
  }
  const std::string originalHash = ContentHash(*original);
  PackRecord record = ReadPackRecord(folder);
  const PackRecordEntry* last = record.Find(state.target);
  // Bytes that are neither the edit's own last output nor the original are another program's
  // work: kept before the original goes back over them.
  if (platform::InspectPath(target).kind == platform::FileKind::kRegular) {
    const std::optional<std::vector<std::uint8_t>> now = ReadWholeFile(target);
    const std::string nowHash = now ? ContentHash(*now) : std::string();
    if (nowHash == originalHash) {
      state.paused = true;
      return WriteStoredState(folder, state);
    }
    if (last == nullptr || nowHash != last->hash) {
      std::string keptAside;
      if (const std::string failure = platform::KeepOriginal(target, keptAside); !failure.empty()) {
        return target + ": changed by another program, and cannot be kept as " + keptAside +
               " before the original "
               "goes back: " +
               failure;
      }
    }
  }
  OutputFile output(target);
  output.SetRenamePatience(kInUsePatience);
  if (const std::string failure = output.Finish(*original); !failure.empty()) {
    return target + ": " + (output.inUse() ? "is held open by another program: " : "") + failure;
  }
  // The original in place is this folder's output now: the next pack after the edit goes on
  // replaces it without keeping it again (it stays kept).
  record.Note({state.target, originalHash, {}});
  state.paused = true;
  std::string failure = WritePackRecord(folder, record);
  if (const std::string stateFailure = WriteStoredState(folder, state); failure.empty()) {
    failure = stateFailure;
  }
  return failure;
}

std::string ResumeEdit(const std::string& folder) {
  StoredState state = ReadStoredState(folder);
  if (!state.paused) {
    return {};
  }
  state.paused = false;
  return WriteStoredState(folder, state);
}

std::string EditOutcomeWords(EditOutcome outcome) {
  switch (outcome) {
    case EditOutcome::kReplaced:
    case EditOutcome::kUnchanged:
      return {};
    case EditOutcome::kRefused:
      return "not replaced, nothing written: the last good file stays until a later save packs";
    case EditOutcome::kChangedByOther:
      return "was changed by another program since the edit last wrote it; nothing written: revert it to the "
             "original, start the edit again from the changed file, or replace it all the same";
    case EditOutcome::kInUse:
      return "is held open by another program; nothing written: the next save packs it again";
    case EditOutcome::kFolderGone:
      return "the edit folder is gone; the edit ends";
    case EditOutcome::kCancelled:
      return "cancelled; nothing written";
    case EditOutcome::kPaused:
      break;
  }
  return "the edit is paused after a revert; nothing packed until the edit is started again";
}

}  // namespace karst::tools
