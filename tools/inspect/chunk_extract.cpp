#include "tools/inspect/chunk_extract.h"

#include <algorithm>

#include "data/file_problems.h"
#include "gff/gff_file.h"
#include "platform/paths.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/inspect/chunk_label.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

// The first chunk with that tag and number, in directory order.
const ChunkEntry* FindChunk(const GffDirectory& directory, const Tag& tag, std::uint32_t number) {
  for (const ChunkType& record : directory) {
    if (!SameTag(record.tag, tag) || !record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      if (entry.number == number) {
        return &entry;
      }
    }
  }
  return nullptr;
}

// For a tag the file has no record of: " (tags are case-sensitive; the file's tags are PAL, TILE,
// MAP)", each tag once, in directory order. Nothing when the file has the tag.
std::string TagsOfFile(const GffDirectory& directory, const Tag& tag) {
  std::vector<Tag> tags;
  for (const ChunkType& record : directory) {
    if (SameTag(record.tag, tag)) {
      return {};
    }
    if (std::none_of(tags.begin(), tags.end(), [&](const Tag& seen) { return SameTag(seen, record.tag); })) {
      tags.push_back(record.tag);
    }
  }
  std::string list;
  for (const Tag& seen : tags) {
    list += (list.empty() ? "" : ", ") + ShownText(TagName(seen));
  }
  return " (tags are case-sensitive; the file's tags are " + (list.empty() ? std::string("none") : list) + ")";
}

// The chunk's payload; nothing, with the problem in `result`, when it cannot be had whole.
std::optional<std::vector<std::uint8_t>> ReadPayload(const ExtractRequest& request, ExtractResult& result) {
  const auto fail = [&](ProblemKind kind, std::string words, ProblemPlace place = {}) {
    result.problems.push_back({request.path, kind, std::move(words), std::move(place)});
    return std::nullopt;
  };
  if (std::string problem = InputProblem(request.path); !problem.empty()) {
    return fail(ProblemKind::kUnreadable, std::move(problem));
  }
  GffFile file;
  if (!file.Open(platform::NativePath(request.path), LoadReport::Into(result.notes).ForFile(request.path))) {
    return fail(ProblemKind::kNotContainer, std::string(kNotContainer));
  }
  const std::string label = ChunkLabel(request.tag, request.number);
  const ChunkEntry* entry = FindChunk(file.directory(), request.tag, request.number);
  if (entry == nullptr) {
    return fail(ProblemKind::kNotFound, "no chunk " + label + TagsOfFile(file.directory(), request.tag));
  }
  // A payload cut short by the end of the file is not the chunk: write nothing rather than a
  // prefix that looks complete.
  if (!PayloadWithin(*entry, file.size())) {
    return fail(ProblemKind::kUnreadable,
                "chunk " + label + " runs past the end of the file (offset " + std::to_string(entry->offset) +
                    ", size " + std::to_string(entry->size) + ", file " + std::to_string(file.size()) +
                    " bytes); nothing written",
                ChunkPlace(label));
  }
  std::vector<std::uint8_t> payload(entry->size);
  if (!file.SeekTo(*entry) || file.Read(payload) != payload.size()) {
    return fail(ProblemKind::kUnreadable, "chunk " + label + " cannot be read; nothing written", ChunkPlace(label));
  }
  return payload;
}

}  // namespace

Tag PaddedTag(const std::string& text) {
  Tag tag = MakeTag("    ");
  for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
    tag[i] = text[i];
  }
  return tag;
}

ExtractResult ExtractChunk(const ExtractRequest& request, JobContext& context) {
  ExtractResult result;
  context.Report(0, 1, ChunkLabel(request.tag, request.number));
  const InputFiles sources({request.path});
  if (std::string refusal = RefuseOutput(request.output, sources); !refusal.empty()) {
    result.problems.push_back({request.output, ProblemKind::kOutputRefused, std::move(refusal), {}});
    return result;
  }
  const std::optional<std::vector<std::uint8_t>> payload = ReadPayload(request, result);
  if (!payload) {
    return result;
  }
  // The last moment a cancel can leave nothing behind: the write puts the file in place whole.
  if (context.Cancelled()) {
    result.problems.push_back({request.output, ProblemKind::kCancelled, "cancelled: nothing written", {}});
    return result;
  }
  if (std::string failure = WriteOutput(request.output, *payload); !failure.empty()) {
    result.problems.push_back({request.output, ProblemKind::kWriteFailed, std::move(failure), {}});
    return result;
  }
  result.written.push_back(request.output);
  context.Report(1, 1);
  return result;
}

}  // namespace karst::tools
