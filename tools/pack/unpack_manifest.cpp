#include "tools/pack/unpack_manifest.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include <nlohmann/json.hpp>

#include "tools/text/content_hash.h"
#include "tools/text/json_reader.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

constexpr const char* kMadeBy = "karst-gff unpack";

bool PlainTagByte(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ';
}

std::string PaletteHex(const PngPalette& palette) {
  return HexText(std::string_view(reinterpret_cast<const char*>(palette.data()), palette.size()));
}

std::optional<std::vector<std::uint8_t>> FromHex(const std::string& text) {
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    for (std::size_t k = 0; k < 2; ++k) {
      const char c = text[i + k];
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= static_cast<unsigned>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        value |= static_cast<unsigned>(c - 'a' + 10);
      } else {
        return std::nullopt;
      }
    }
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

nlohmann::json RecordJson(const Manifest& manifest, std::size_t index) {
  const ManifestRecord& record = manifest.records[index];
  nlohmann::json chunks = nlohmann::json::array();
  for (const ManifestChunk& chunk : manifest.chunks) {
    if (chunk.record == index) {
      chunks.push_back({{"name", chunk.name},
                        {"number", chunk.number},
                        {"offset", chunk.offset},
                        {"size", chunk.size},
                        {"offsetFieldAt", chunk.offsetFieldAt}});
    }
  }
  const std::string tag(record.tag.data(), 4);
  return {{"tag", ByteText(tag)},  {"tagHex", HexText(tag)}, {"form", record.indexed ? "indexed" : "plain"},
          {"count", record.count}, {"flags", record.flags},  {"chunks", std::move(chunks)}};
}

// The records and their chunks; false after the first problem, named in `error`.
bool ParseDirectory(const nlohmann::json& json, Manifest& manifest, std::string& error) {
  JsonFields directory(json, "its \"directory\"", error);
  manifest.directoryOffset = static_cast<std::uint32_t>(directory.Unsigned("offset", 0xFFFFFFFFu));
  manifest.directoryLength = static_cast<std::uint32_t>(directory.Unsigned("length", 0xFFFFFFFFu));
  for (const nlohmann::json& recordJson : directory.Array("records")) {
    JsonFields fields(recordJson, "a record of its directory", error);
    ManifestRecord record;
    const std::optional<std::vector<std::uint8_t>> tag = FromHex(fields.Text("tagHex"));
    const std::string form = fields.Text("form");
    record.count = static_cast<std::uint32_t>(fields.Unsigned("count", 0xFFFF));
    record.flags = static_cast<std::uint32_t>(fields.Unsigned("flags", 0xFFFF));
    if (!error.empty()) {
      return false;
    }
    if (!tag || tag->size() != 4) {
      fields.Fail("has a \"tagHex\" that is not 8 hex digits");
      return false;
    }
    std::copy(tag->begin(), tag->end(), record.tag.begin());
    record.indexed = form == "indexed";
    if (!record.indexed && form != "plain") {
      fields.Fail("has a \"form\" other than \"plain\" or \"indexed\"");
      return false;
    }
    manifest.records.push_back(record);
    for (const nlohmann::json& chunkJson : fields.Array("chunks")) {
      JsonFields chunkFields(chunkJson, "a chunk of its directory", error);
      ManifestChunk chunk;
      chunk.record = manifest.records.size() - 1;
      chunk.name = chunkFields.Text("name");
      chunk.number = static_cast<std::uint32_t>(chunkFields.Unsigned("number", 0xFFFFFFFFu));
      chunk.offset = static_cast<std::uint32_t>(chunkFields.Unsigned("offset", 0xFFFFFFFFu));
      chunk.size = static_cast<std::uint32_t>(chunkFields.Unsigned("size", 0xFFFFFFFFu));
      chunk.offsetFieldAt = chunkFields.Signed("offsetFieldAt");
      if (!error.empty()) {
        return false;
      }
      if (const std::string unsafe = UnsafeFolderName(chunk.File()); !unsafe.empty()) {
        chunkFields.Fail("has the name \"" + chunk.name + "\", which " + unsafe);
        return false;
      }
      manifest.chunks.push_back(std::move(chunk));
    }
  }
  return error.empty();
}

// A form entry naming a file and one chunk.
std::optional<ManifestForm> ParseForm(const nlohmann::json& json, const char* key, const Manifest& manifest,
                                      std::string& error) {
  JsonFields fields(json, std::string("its \"") + key + "\"", error);
  ManifestForm form;
  form.file = fields.Text("file");
  const std::string chunk = fields.Text("chunk");
  if (!error.empty()) {
    return std::nullopt;
  }
  const std::optional<std::size_t> index = manifest.FindChunk(chunk);
  if (!index) {
    fields.Fail("names the chunk \"" + chunk + "\", which the directory does not list");
    return std::nullopt;
  }
  form.chunk = *index;
  return form;
}

// The map's entry: its file, the chunks it stands for by name (entities and name only when the
// region has them), the tile count and the objects' tileset. Its files are checked as every
// listed file is: "files" must hold them.
std::optional<ManifestMap> ParseMapForm(const nlohmann::json& json, const Manifest& manifest, std::string& error) {
  JsonFields fields(json, "its \"mapFile\"", error);
  ManifestMap map;
  map.file = fields.Text("file");
  map.tileCount = static_cast<std::int32_t>(fields.Unsigned("tileCount", std::numeric_limits<std::int32_t>::max()));
  const auto chunk = [&](const char* key, const Tag& tag) -> std::optional<std::size_t> {
    const std::string name = fields.Text(key);
    const std::optional<std::size_t> index = manifest.FindChunk(name);
    if (error.empty() && (!index || !SameTag(manifest.RecordOf(manifest.chunks[*index]).tag, tag))) {
      fields.Fail("names \"" + name + "\" as its \"" + key + "\", which is no \"" + TagText(tag) +
                  "\" chunk of the directory");
    }
    return index;
  };
  map.map = chunk("map", kTagMap).value_or(0);
  if (fields.Has("entities")) {
    map.entities = chunk("entities", kTagEtab);
  }
  if (fields.Has("name")) {
    map.name = chunk("name", kTagRnme);
  }
  if (fields.Has("objectsTileset")) {
    map.objectsTileset = fields.Text("objectsTileset");
  }
  if (!error.empty()) {
    return std::nullopt;
  }
  return map;
}

bool ParseForms(const nlohmann::json& json, Manifest& manifest, std::string& error) {
  JsonFields top(json, "manifest.json", error);
  for (const nlohmann::json& pictureJson : top.Array("pictures")) {
    JsonFields fields(pictureJson, "a picture of its \"pictures\"", error);
    ManifestPicture picture;
    picture.file = fields.Text("file");
    const std::string chunk = fields.Text("chunk");
    picture.frame = static_cast<std::uint32_t>(fields.Unsigned("frame", 0xFFFF));
    picture.palette = fields.Text("palette");
    picture.transparentZero = fields.Flag("transparentZero");
    if (!error.empty()) {
      return false;
    }
    const std::optional<std::size_t> index = manifest.FindChunk(chunk);
    if (!index || !IsFrameSetTag(manifest.RecordOf(manifest.chunks[*index]).tag)) {
      fields.Fail("names \"" + chunk + "\", which is no frame-set chunk of the directory");
      return false;
    }
    if (!manifest.palettes.contains(picture.palette)) {
      fields.Fail("names the palette \"" + picture.palette + "\", which \"palettes\" does not hold");
      return false;
    }
    picture.chunk = *index;
    manifest.pictures.push_back(std::move(picture));
  }
  if (top.Has("paletteFile")) {
    manifest.paletteFile = ParseForm(json.at("paletteFile"), "paletteFile", manifest, error);
  }
  if (error.empty() && top.Has("nameFile")) {
    manifest.nameFile = ParseForm(json.at("nameFile"), "nameFile", manifest, error);
  }
  if (error.empty() && top.Has("objectsFile")) {
    JsonFields fields(json.at("objectsFile"), "its \"objectsFile\"", error);
    manifest.objectsFile = fields.Text("file");
    for (const nlohmann::json& name : fields.Array("chunks")) {
      const std::optional<std::size_t> index =
          name.is_string() ? manifest.FindChunk(name.get<std::string>()) : std::nullopt;
      if (!index) {
        fields.Fail("lists a chunk that the directory does not");
        return false;
      }
      manifest.objectChunks.push_back(*index);
    }
  }
  if (error.empty() && top.Has("mapFile")) {
    manifest.mapFile = ParseMapForm(json.at("mapFile"), manifest, error);
  }
  return error.empty();
}

}  // namespace

Span Manifest::InFile(std::size_t index) const {
  const ManifestChunk& chunk = chunks[index];
  return {chunk.offset,
          std::min(PayloadEnd(chunk.Entry()), std::max<std::uint64_t>(size, chunk.offset)) - chunk.offset};
}

std::optional<std::size_t> Manifest::FindChunk(const std::string& name) const {
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].name == name) {
      return i;
    }
  }
  return std::nullopt;
}

std::string ChunkStem(const Tag& tag, std::uint32_t number) {
  const std::string bytes(tag.data(), 4);
  std::string name = bytes;
  while (!name.empty() && name.back() == ' ') {
    name.pop_back();
  }
  if (name.empty() || !std::all_of(bytes.begin(), bytes.end(), PlainTagByte)) {
    name = "hex-" + HexText(bytes);
  }
  return name + "-" + std::to_string(number);
}

std::string ManifestText(const Manifest& manifest) {
  nlohmann::json records = nlohmann::json::array();
  for (std::size_t i = 0; i < manifest.records.size(); ++i) {
    records.push_back(RecordJson(manifest, i));
  }
  nlohmann::json spans = nlohmann::json::array();
  for (const Span& span : manifest.rest) {
    spans.push_back({span.offset, span.length});
  }
  nlohmann::json palettes = nlohmann::json::object();
  for (const auto& [key, palette] : manifest.palettes) {
    palettes[key] = PaletteHex(palette);
  }
  nlohmann::json pictures = nlohmann::json::array();
  for (const ManifestPicture& picture : manifest.pictures) {
    pictures.push_back({{"file", picture.file},
                        {"chunk", manifest.chunks[picture.chunk].name},
                        {"frame", picture.frame},
                        {"palette", picture.palette},
                        {"transparentZero", picture.transparentZero}});
  }
  nlohmann::json json = {
      {"format", kManifestFormat},
      {"madeBy", kMadeBy},
      {"source", manifest.source},
      {"size", manifest.size},
      {"hash", kContentHashName},
      {"sourceHash", manifest.sourceHash},
      {"directory",
       {{"offset", manifest.directoryOffset}, {"length", manifest.directoryLength}, {"records", std::move(records)}}},
      {"rest", {{"file", kRestName}, {"spans", std::move(spans)}}},
      {"palettes", std::move(palettes)},
      {"pictures", std::move(pictures)},
      {"files", manifest.hashes}};
  if (manifest.paletteFile) {
    json["paletteFile"] = {{"file", manifest.paletteFile->file},
                           {"chunk", manifest.chunks[manifest.paletteFile->chunk].name}};
  }
  if (manifest.nameFile) {
    json["nameFile"] = {{"file", manifest.nameFile->file}, {"chunk", manifest.chunks[manifest.nameFile->chunk].name}};
  }
  if (manifest.objectsFile) {
    nlohmann::json names = nlohmann::json::array();
    for (const std::size_t index : manifest.objectChunks) {
      names.push_back(manifest.chunks[index].name);
    }
    json["objectsFile"] = {{"file", *manifest.objectsFile}, {"chunks", std::move(names)}};
  }
  if (manifest.mapFile) {
    const ManifestMap& map = *manifest.mapFile;
    json["mapFile"] = {{"file", map.file}, {"map", manifest.chunks[map.map].name}, {"tileCount", map.tileCount}};
    if (map.entities) {
      json["mapFile"]["entities"] = manifest.chunks[*map.entities].name;
    }
    if (map.name) {
      json["mapFile"]["name"] = manifest.chunks[*map.name].name;
    }
    if (map.objectsTileset) {
      json["mapFile"]["objectsTileset"] = *map.objectsTileset;
    }
  }
  return json.dump(1, ' ', true) + "\n";
}

std::optional<Manifest> ParseManifest(std::span<const std::uint8_t> text, std::string& error) {
  const nlohmann::json json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  if (json.is_discarded()) {
    error = "manifest.json is no JSON text";
    return std::nullopt;
  }
  JsonFields top(json, "manifest.json", error);
  if (!error.empty()) {
    return std::nullopt;
  }
  if (top.Text("madeBy") != kMadeBy || !error.empty()) {
    error = "manifest.json was not written by karst-gff unpack (no \"madeBy\": \"karst-gff unpack\")";
    return std::nullopt;
  }
  if (const std::uint64_t format = top.Unsigned("format", std::numeric_limits<std::uint32_t>::max());
      !error.empty() || format != kManifestFormat) {
    error = "manifest.json is of format " + (error.empty() ? std::to_string(format) : std::string("?")) +
            "; this karst-gff packs format " + std::to_string(kManifestFormat) + " only";
    return std::nullopt;
  }
  Manifest manifest;
  manifest.source = top.Text("source");
  // A container lies within the reader's signed 32-bit positions.
  manifest.size = top.Unsigned("size", std::numeric_limits<std::int32_t>::max());
  if (top.Text("hash") != kContentHashName && error.empty()) {
    top.Fail(std::string("has a \"hash\" other than \"") + kContentHashName + "\"");
  }
  if (top.Has("sourceHash")) {
    manifest.sourceHash = top.Text("sourceHash");
  }
  if (!error.empty() || !ParseDirectory(top.Find("directory") ? json.at("directory") : json, manifest, error)) {
    return std::nullopt;
  }
  static const nlohmann::json kMissing;
  JsonFields rest(json.contains("rest") ? json.at("rest") : kMissing, "its \"rest\"", error);
  if (rest.Text("file") != kRestName && error.empty()) {
    rest.Fail(std::string("does not name ") + kRestName);
  }
  for (const nlohmann::json& span : rest.Array("spans")) {
    if (!span.is_array() || span.size() != 2 || !span[0].is_number_unsigned() || !span[1].is_number_unsigned()) {
      rest.Fail("has a span that is not two whole numbers");
      return std::nullopt;
    }
    manifest.rest.push_back({span[0].get<std::uint64_t>(), span[1].get<std::uint64_t>()});
  }
  const auto palettes = json.find("palettes");
  if (error.empty() && (palettes == json.end() || !palettes->is_object())) {
    top.Fail("has no \"palettes\" object");
  }
  if (!error.empty()) {
    return std::nullopt;
  }
  for (const auto& [key, value] : palettes->items()) {
    const std::optional<std::vector<std::uint8_t>> bytes =
        value.is_string() ? FromHex(value.get<std::string>()) : std::nullopt;
    if (!bytes || bytes->size() != PngPalette{}.size()) {
      error = "manifest.json has a palette \"" + key + "\" that is not 768 bytes as hex";
      return std::nullopt;
    }
    std::copy(bytes->begin(), bytes->end(), manifest.palettes[key].begin());
  }
  const auto files = json.find("files");
  if (files == json.end() || !files->is_object()) {
    error = "manifest.json has no \"files\" object";
    return std::nullopt;
  }
  for (const auto& [name, hash] : files->items()) {
    if (const std::string unsafe = UnsafeFolderName(name); !unsafe.empty()) {
      error = "manifest.json lists \"" + name + "\", which " + unsafe;
      return std::nullopt;
    }
    if (!hash.is_string()) {
      error = "manifest.json gives no hash for \"" + name + "\"";
      return std::nullopt;
    }
    manifest.hashes[name] = hash.get<std::string>();
  }
  if (!ParseForms(json, manifest, error)) {
    return std::nullopt;
  }
  return manifest;
}

std::string UnsafeFolderName(const std::string& name) {
  if (name.empty() || name.front() == '/') {
    return "is not a path inside the folder";
  }
  if (name.find('\\') != std::string::npos || name.find(':') != std::string::npos ||
      name.find('\0') != std::string::npos) {
    return "holds a backslash, colon or zero byte, which no file of the folder has";
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t slash = name.find('/', start);
    const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (part.empty() || part == "." || part == "..") {
      return "leads outside the folder (an empty, \".\" or \"..\" part)";
    }
    if (slash == std::string::npos) {
      return {};
    }
    start = slash + 1;
  }
}

}  // namespace karst::tools
