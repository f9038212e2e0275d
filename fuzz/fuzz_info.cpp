// The chunk directory as `karst-gff info` shows it, for any bytes: the JSON must be printable
// ASCII that a strict parser accepts, every record's "tagHex" must be its four tag bytes, and the
// text listing must hold no byte a terminal would act on: printable ASCII, line feeds and the
// output encoding's own bytes for printable Latin-1 characters, nothing else.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_budget.h"
#include "gff/gff_file.h"
#include "platform/terminal.h"
#include "tools/inspect/directory_listing.h"
#include "tools/text/json_text.h"

namespace {

bool PlainText(const std::string& text, bool lineFeeds) {
  for (const char c : text) {
    const bool printable = c >= 0x20 && c < 0x7F;
    if (!printable && !(lineFeeds && c == '\n')) {
      return false;
    }
  }
  return true;
}

// Printable ASCII and line feeds, and beyond them only whole glyphs of the output's encoding.
bool TerminalSafe(const std::string& text) {
  static const karst::platform::Latin1Glyphs glyphs = karst::platform::OutputLatin1Glyphs();
  for (std::size_t at = 0; at < text.size();) {
    if (PlainText(text.substr(at, 1), true)) {
      ++at;
      continue;
    }
    std::size_t glyphSize = 0;
    for (const std::string& glyph : glyphs) {
      if (!glyph.empty() && text.compare(at, glyph.size(), glyph) == 0) {
        glyphSize = glyph.size();
        break;
      }
    }
    if (glyphSize == 0) {
      return false;
    }
    at += glyphSize;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karst::GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(data, data + size), karst::LoadReport(),
                      karst::fuzzing::kFuzzBaseBytes)) {
    return 0;
  }
  karst::tools::DirectoryWarnings(file);
  const std::vector<karst::tools::DirectoryRecord> records = karst::tools::DirectoryRecords(file.directory());
  const std::string text = karst::tools::JsonText(karst::tools::DirectoryJson(records));
  if (!PlainText(text, false) || !nlohmann::json::accept(text)) {
    __builtin_trap();
  }
  const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
  std::size_t index = 0;
  for (const karst::ChunkType& record : file.directory()) {
    const std::string tagHex = karst::tools::HexText(std::string(record.tag.data(), 4));
    if (json.at("types").at(index++).at("tagHex") != tagHex) {
      __builtin_trap();
    }
  }
  if (!TerminalSafe(karst::tools::DirectoryListing("FUZZ.GFF", records))) {
    __builtin_trap();
  }
  return 0;
}
