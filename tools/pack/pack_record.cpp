#include "tools/pack/pack_record.h"

#include <filesystem>

#include <nlohmann/json.hpp>

#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/text/content_hash.h"
#include "tools/text/json_reader.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

constexpr const char* kMadeBy = "karst-gff pack";
constexpr std::uint64_t kRecordFormat = 1;
constexpr const char* kMissingHash = "missing";

}  // namespace

const PackRecordEntry* PackRecord::Find(const std::string& key) const {
  for (const PackRecordEntry& entry : packs) {
    if (entry.file == key) {
      return &entry;
    }
  }
  return nullptr;
}

void PackRecord::Note(PackRecordEntry entry) {
  for (PackRecordEntry& known : packs) {
    if (known.file == entry.file) {
      known = std::move(entry);
      return;
    }
  }
  packs.push_back(std::move(entry));
}

bool PackRecord::HoldsEdits(const std::string& hash, const FolderEdits& edits) const {
  for (const PackRecordEntry& entry : packs) {
    if (entry.hash == hash && entry.edits == edits) {
      return true;
    }
  }
  return false;
}

FolderEdits EditsOf(const Manifest& manifest, const FolderFiles& files) {
  FolderEdits edits;
  for (const auto& [name, hash] : manifest.hashes) {
    const auto file = files.find(name);
    const std::string now = file == files.end() ? kMissingHash : ContentHash(file->second);
    if (now != hash) {
      edits[name] = now;
    }
  }
  return edits;
}

std::string PackRecordText(const PackRecord& record) {
  nlohmann::ordered_json packs = nlohmann::ordered_json::array();
  for (const PackRecordEntry& entry : record.packs) {
    packs.push_back({{"file", entry.file}, {"hash", entry.hash}, {"edits", entry.edits}});
  }
  const nlohmann::ordered_json json = {
      {"madeBy", kMadeBy},
      {"format", kRecordFormat},
      {"about", "what karst-gff pack last wrote from this folder, and where: bookkeeping, not a file to edit"},
      {"packs", std::move(packs)}};
  return json.dump(1, ' ', true) + "\n";
}

PackRecord ParsePackRecord(std::span<const std::uint8_t> text) {
  const nlohmann::json json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  std::string error;
  JsonFields top(json, kPackRecordName, error);
  PackRecord record;
  if (top.Text("madeBy") != kMadeBy || top.Unsigned("format", kRecordFormat) != kRecordFormat) {
    return {};
  }
  for (const nlohmann::json& pack : top.Array("packs")) {
    JsonFields fields(pack, "a pack", error);
    PackRecordEntry entry{fields.Text("file"), fields.Text("hash"), {}};
    const nlohmann::json* edits = fields.Find("edits");
    if (edits == nullptr || !edits->is_object()) {
      return {};
    }
    for (const auto& [name, hash] : edits->items()) {
      if (!hash.is_string()) {
        return {};
      }
      entry.edits[name] = hash.get<std::string>();
    }
    record.packs.push_back(std::move(entry));
  }
  return error.empty() ? record : PackRecord{};
}

std::string PackedFileKey(const std::string& path) {
  std::error_code error;
  const std::filesystem::path native = platform::NativePath(path);
  std::filesystem::path key = std::filesystem::weakly_canonical(native, error);
  if (error) {
    key = std::filesystem::absolute(native, error).lexically_normal();
  }
  // Each byte as a character: any path's bytes make a valid JSON string.
  return ByteText(platform::PathText(key));
}

PackRecord ReadPackRecord(const std::string& folder) {
  const std::optional<std::vector<std::uint8_t>> text =
      ReadWholeFile(platform::PathText(platform::NativePath(folder) / kPackRecordName));
  return text ? ParsePackRecord(*text) : PackRecord{};
}

std::string WritePackRecord(const std::string& folder, const PackRecord& record) {
  const std::string text = PackRecordText(record);
  const std::string target = platform::PathText(platform::NativePath(folder) / kPackRecordName);
  if (const std::string failure = WriteOutput(target, std::vector<std::uint8_t>(text.begin(), text.end()));
      !failure.empty()) {
    return target + ": " + failure;
  }
  return {};
}

}  // namespace karst::tools
