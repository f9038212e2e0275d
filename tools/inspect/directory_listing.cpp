#include "tools/inspect/directory_listing.h"

#include <cstdio>

#include "tools/text/json_text.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

std::string_view TagBytes(const Tag& tag) { return std::string_view(tag.data(), 4); }

std::string Bytes(std::uint64_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

}  // namespace

nlohmann::json DirectoryJson(const GffDirectory& directory) {
  nlohmann::json types = nlohmann::json::array();
  for (const ChunkType& record : directory) {
    nlohmann::json entries = nlohmann::json::array();
    if (record.entries) {
      for (const ChunkEntry& entry : *record.entries) {
        entries.push_back({{"number", entry.number}, {"offset", entry.offset}, {"size", entry.size}});
      }
    }
    types.push_back({{"tag", ByteText(TagBytes(record.tag))},
                     {"tagHex", HexText(TagBytes(record.tag))},
                     {"count", record.count},
                     {"flags", record.flags},
                     {"indexed", record.IsIndexed()},
                     {"entries", entries}});
  }
  return nlohmann::json{{"types", types}};
}

std::string DirectoryListing(std::string_view name, const GffDirectory& directory) {
  std::string text = std::string(name) + ": " + std::to_string(directory.count()) + " chunk type record" +
                     (directory.count() == 1 ? "" : "s") + "\n";
  for (const ChunkType& record : directory) {
    const std::int32_t entryCount = record.entries ? record.entries->count() : 0;
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%04X", record.flags);
    // Appended piece by piece: GCC 12 at -O3 warns falsely about a chain of string additions here.
    text.append("\"").append(ShownText(TagBytes(record.tag))).append("\"  count ");
    text.append(std::to_string(record.count)).append("  flags ").append(flags).append("  ");
    text.append(record.IsIndexed() ? "indexed" : "plain").append("  ").append(std::to_string(entryCount));
    text.append(entryCount == 1 ? " entry" : " entries").append("\n");
    if (record.entries) {
      for (const ChunkEntry& entry : *record.entries) {
        text += "    number " + std::to_string(entry.number) + "  offset " + std::to_string(entry.offset) + "  size " +
                std::to_string(entry.size) + "\n";
      }
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

}  // namespace karst::tools
