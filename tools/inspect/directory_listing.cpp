#include "tools/inspect/directory_listing.h"

#include <cstdio>
#include <utility>

#include "data/file_problems.h"
#include "platform/paths.h"
#include "tools/inspect/load_notes.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

std::string_view TagBytes(const Tag& tag) { return std::string_view(tag.data(), 4); }

std::string Bytes(std::uint64_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

// One file of the info job.
ContainerDirectory ReadDirectory(const std::string& path) {
  ContainerDirectory listed{path, {}, {}, {}, {}};
  if (std::string problem = InputProblem(path); !problem.empty()) {
    listed.problem = JobProblem{path, ProblemKind::kUnreadable, std::move(problem), {}};
    return listed;
  }
  std::vector<LoadNote> notes;
  GffFile file;
  const bool opened = file.Open(platform::NativePath(path), LoadReport::Into(notes).ForFile(path));
  MoveNoteProblems(notes, listed.notes);
  if (!opened) {
    listed.problem = JobProblem{path, ProblemKind::kNotContainer, std::string(kNotContainer), {}};
    return listed;
  }
  listed.warnings = DirectoryWarnings(file);
  listed.records = DirectoryRecords(file.directory());
  return listed;
}

}  // namespace

std::vector<DirectoryRecord> DirectoryRecords(const GffDirectory& directory) {
  std::vector<DirectoryRecord> records;
  for (const ChunkType& type : directory) {
    DirectoryRecord& record = records.emplace_back();
    record.tag = type.tag;
    record.count = type.count;
    record.flags = type.flags;
    record.indexed = type.IsIndexed();
    if (type.entries) {
      for (const ChunkEntry& entry : *type.entries) {
        record.entries.push_back(entry);
      }
    }
  }
  return records;
}

nlohmann::json DirectoryJson(std::span<const DirectoryRecord> records) {
  nlohmann::json types = nlohmann::json::array();
  for (const DirectoryRecord& record : records) {
    nlohmann::json entries = nlohmann::json::array();
    for (const ChunkEntry& entry : record.entries) {
      entries.push_back({{"number", entry.number}, {"offset", entry.offset}, {"size", entry.size}});
    }
    types.push_back({{"tag", ByteText(TagBytes(record.tag))},
                     {"tagHex", HexText(TagBytes(record.tag))},
                     {"count", record.count},
                     {"flags", record.flags},
                     {"indexed", record.indexed},
                     {"entries", entries}});
  }
  return nlohmann::json{{"types", types}};
}

std::string DirectoryListing(std::string_view name, std::span<const DirectoryRecord> records) {
  std::string text = std::string(name) + ": " + std::to_string(records.size()) + " chunk type record" +
                     (records.size() == 1 ? "" : "s") + "\n";
  for (const DirectoryRecord& record : records) {
    const std::size_t entryCount = record.entries.size();
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04X", record.flags);
    // Appended piece by piece: GCC 12 at -O3 warns falsely about a chain of string additions here.
    text.append("\"").append(ShownText(TagBytes(record.tag))).append("\"  count ");
    text.append(std::to_string(record.count)).append("  flags ").append(flags).append("  ");
    text.append(record.indexed ? "indexed" : "plain").append("  ").append(std::to_string(entryCount));
    text.append(entryCount == 1 ? " entry" : " entries").append("\n");
    for (const ChunkEntry& entry : record.entries) {
      text += "    number " + std::to_string(entry.number) + "  offset " + std::to_string(entry.offset) + "  size " +
              std::to_string(entry.size) + "\n";
    }
  }
  return text;
}

std::vector<std::string> DirectoryWarnings(const GffFile& file) {
  std::vector<std::string> warnings;
  const std::uint64_t size = file.size();
  if (file.directoryEnd() > size) {
    warnings.push_back("the chunk directory ends at byte " + std::to_string(file.directoryEnd()) + ", " +
                       Bytes(file.directoryEnd() - size) + " past the end of the file (" + Bytes(size) +
                       "): the records there are missing");
  }
  // One line for the first index chunk cut short, however many a damaged directory lists.
  const ChunkEntry* first = nullptr;
  std::uint64_t others = 0;
  for (const ChunkType& record : file.directory()) {
    if (!SameTag(record.tag, kTagGffi) || !record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      if (PayloadWithin(entry, size)) {
        continue;
      }
      if (first == nullptr) {
        first = &entry;
      } else {
        ++others;
      }
    }
  }
  if (first != nullptr) {
    const std::uint64_t end = PayloadEnd(*first);
    warnings.push_back("index chunk GFFI " + std::to_string(first->number) + " ends " + Bytes(end - size) +
                       " past the end of the file (" + Bytes(size) +
                       "): a record read through it is cut short there, and the records after it are missing" +
                       (others == 0
                            ? std::string()
                            : " (" + std::to_string(others) + " more index " +
                                  (others == 1 ? "chunk ends" : "chunks end") + " past the end of the file too)"));
  }
  return warnings;
}

DirectoriesResult ReadDirectories(const std::vector<std::string>& paths, JobContext& context) {
  DirectoriesResult result;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    context.Report(i, paths.size(), paths[i]);
    if (context.Cancelled()) {
      result.problems.push_back({paths[i], ProblemKind::kCancelled, "cancelled before this file", {}});
      return result;
    }
    result.files.push_back(ReadDirectory(paths[i]));
  }
  context.Report(paths.size(), paths.size());
  return result;
}

}  // namespace karst::tools
