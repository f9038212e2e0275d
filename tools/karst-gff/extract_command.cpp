#include "tools/karst-gff/extract_command.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "display/printed_notes.h"
#include "gff/format.h"
#include "gff/gff_file.h"
#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/inspect/chunk_label.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

struct ExtractOptions {
  std::string path;
  std::string tag;
  std::uint32_t number = 0;
  std::string output;
};

// "BMP" stands for "BMP ": users need not type the blank.
Tag PaddedTag(const std::string& text) {
  Tag tag = MakeTag("    ");
  for (std::size_t i = 0; i < text.size() && i < 4; ++i) {
    tag[i] = text[i];
  }
  return tag;
}

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

int RunExtract(const ExtractOptions& options) {
  const InputFiles inputs({options.path});
  if (const std::string refusal = RefuseOutput(options.output, inputs); !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  ReserveStandardOutputFor(options.output);
  if (const std::string problem = InputProblem(options.path); !problem.empty()) {
    ReportError(kTool, options.path, problem);
    return kExitFailure;
  }
  GffFile file;
  if (!file.Open(platform::NativePath(options.path), PrintedNotes())) {
    ReportError(kTool, options.path, "not a GFF container (no \"GFFI\" header, or too short)");
    return kExitFailure;
  }
  const Tag tag = PaddedTag(options.tag);
  const std::string label = ChunkLabel(tag, options.number);
  const ChunkEntry* entry = FindChunk(file.directory(), tag, options.number);
  if (entry == nullptr) {
    ReportError(kTool, options.path, "no chunk " + label + TagsOfFile(file.directory(), tag));
    return kExitFailure;
  }
  // A payload cut short by the end of the file is not the chunk: write nothing rather than a
  // prefix that looks complete.
  if (!PayloadWithin(*entry, file.size())) {
    ReportError(kTool, options.path,
                "chunk " + label + " runs past the end of the file (offset " + std::to_string(entry->offset) +
                    ", size " + std::to_string(entry->size) + ", file " + std::to_string(file.size()) +
                    " bytes); nothing written");
    return kExitFailure;
  }
  std::vector<std::uint8_t> payload(entry->size);
  if (!file.SeekTo(*entry) || file.Read(payload) != payload.size()) {
    ReportError(kTool, options.path, "chunk " + label + " cannot be read; nothing written");
    return kExitFailure;
  }
  file.Close();
  const std::string failure = WriteOutput(options.output, payload);
  if (!failure.empty()) {
    ReportError(kTool, options.output, failure);
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

void AddExtractCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ExtractOptions>();
  CLI::App* command = app.add_subcommand("extract", "Write the raw payload of one chunk to a file");
  command->footer(
      "TAG is up to four characters; shorter tags are padded with blanks (BMP means \"BMP \").\n"
      "The first chunk with that tag and number in directory order is taken. OUT is written\n"
      "whole or not at all; - is the standard output. OUT is never the input nor any file that\n"
      "holds a GFF container: such an OUT is refused (exit status 2) and nothing is written.\n"
      "A palette comes out raw, 6-bit values; \"karst-gff palette\" writes its colours.\n"
      "\n"
      "Examples:\n"
      "  karst-gff extract RGN01.GFF PAL 3 -o rgn01-pal.bin    the palette, 768 bytes\n"
      "  karst-gff extract OBJEX.GFF BMP 552 -o bmp552.bin     a bitmap's frame set\n"
      "  karst-gff extract RGN01.GFF ETAB 5 -o entities.bin    the entity table\n"
      "  karst-gff extract RGN01.GFF MAP 7 -o - | xxd          to standard output");
  command->add_option("FILE.GFF", options->path, "the container to read")->required()->type_name("");
  command->add_option("TAG", options->tag, "the chunk type, e.g. TILE, BMP, OJFF")
      ->required()
      ->type_name("")
      ->check([](const std::string& text) {
        return text.empty() || text.size() > 4 ? std::string("a tag has 1 to 4 characters") : std::string();
      });
  command->add_option("NUMBER", options->number, "the chunk number")->required()->type_name("")->check(ChunkNumber());
  command->add_option("-o,--output", options->output, "the file to write; - for standard output")
      ->required()
      ->type_name("OUT");
  command->callback([options, &exitCode] { exitCode = RunExtract(*options); });
}

}  // namespace karst::tools
