#include "tools/pack/pack_folder.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "authoring/byte_writer.h"
#include "data/file_problems.h"
#include "data/object_library.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/allocation_budget.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "tools/inspect/game_check.h"
#include "tools/pack/unpack_folder.h"
#include "tools/pictures/frame_pictures.h"
#include "tools/pictures/gimp_palette.h"
#include "tools/pictures/region_palette.h"
#include "tools/pictures/saved_picture.h"
#include "tools/text/content_hash.h"
#include "tools/text/json_reader.h"
#include "tools/text/json_text.h"
#include "tools/text/name_text.h"
#include "tools/tiled/tiled_map.h"

namespace karst::tools {
namespace {

// Positions are signed 32-bit values for the reader: a payload must end before this.
constexpr std::uint64_t kPositionLimit = 1ull << 31;
constexpr std::size_t kFieldBytes = 8;  // an entry's u32 offset and u32 size

struct Proposal {
  std::string form;  // the file it came from
  std::vector<std::uint8_t> payload;
  // How the entities changed, by the map's object ids; none when the form has no ids to tell.
  std::optional<EntityChanges> entities;
};

struct PackState {
  const FolderFiles& files;
  const Manifest& manifest;
  const PackOptions& options;
  std::set<std::string> changed;  // files whose hash differs from the manifest's
  std::map<std::size_t, std::vector<Proposal>> proposals;
  std::vector<std::string> notes;
  std::uint64_t nearestPixels = 0;
  std::uint64_t transparentPixels = 0;
  // The kind of a form's refusal, where it is more than an edit that cannot be taken.
  ProblemKind refusal = ProblemKind::kEditRefused;

  const std::vector<std::uint8_t>& Payload(std::size_t chunk) const { return files.at(manifest.chunks[chunk].File()); }
  const std::string& Name(std::size_t chunk) const { return manifest.chunks[chunk].name; }
  // Records what `form` gives chunk `chunk`, unless that is the original payload.
  void Propose(std::size_t chunk, const std::string& form, std::vector<std::uint8_t> payload,
               std::optional<EntityChanges> entities = std::nullopt) {
    if (ContentHash(payload) != manifest.hashes.at(manifest.chunks[chunk].File())) {
      proposals[chunk].push_back({form, std::move(payload), std::move(entities)});
    }
  }
  // The payload chunk `chunk` is given by the first form that changed it; null when none did.
  const std::vector<std::uint8_t>* Proposed(std::size_t chunk) const {
    const auto found = proposals.find(chunk);
    return found == proposals.end() || found->second.empty() ? nullptr : &found->second.front().payload;
  }
};

bool Intersects(const Span& a, const Span& b) {
  return a.length > 0 && b.length > 0 && a.offset < b.offset + b.length && b.offset < a.offset + a.length;
}

// ---- the editable forms: each proposes payloads for the chunks whose form file changed

// The colours a picture is matched against: those the packed file will have (a region's palette
// as edited), and what they are called where a colour is missing.
struct PictureColours {
  PngPalette palette{};
  std::string name;
};

PictureColours ColoursFor(const PackState& state, const std::string& key) {
  const PngPalette& written = state.manifest.palettes.at(key);
  if (key == kGreyPaletteKey) {
    return {written,
            "the greyscale palette the pictures were unpacked with (unpacked with a region's colours, the pictures "
            "are painted in those)"};
  }
  if (key != kRegionPaletteKey) {
    return {written, "the colours of the region the library was unpacked with"};
  }
  const std::optional<ManifestForm>& form = state.manifest.paletteFile;
  const std::vector<std::uint8_t>* edited = form ? state.Proposed(form->chunk) : nullptr;
  if (edited == nullptr || edited->size() < kPaletteBytes) {
    return {written, "the region's palette (palette.gpl)"};
  }
  return {PngPaletteOf(ConvertPalette(*edited)),
          "the palette the packed file will have (" + state.proposals.at(form->chunk).front().form + ", as edited)"};
}

bool PicturesForm(PackState& state, std::string& error) {
  std::map<std::string, PictureColours> colours;
  std::map<std::size_t, std::vector<const ManifestPicture*>> byChunk;
  for (const ManifestPicture& picture : state.manifest.pictures) {
    if (state.changed.contains(picture.file)) {
      byChunk[picture.chunk].push_back(&picture);
    }
  }
  for (const auto& [chunk, pictures] : byChunk) {
    const std::vector<std::uint8_t>& payload = state.Payload(chunk);
    AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size(), state.options.budgetBase);
    FrameSet decoded;
    DecodeFrameSet(decoded, payload, budget, LoadReport());
    std::map<std::size_t, authoring::IndexedImage> edited;
    std::string form;
    for (const ManifestPicture* picture : pictures) {
      if (picture->frame >= decoded.frames.size()) {
        error = picture->file + ": " + state.Name(chunk) + " has no frame " + std::to_string(picture->frame);
        return false;
      }
      const Frame& frame = decoded.frames[picture->frame];
      std::string problem;
      const std::optional<SavedPicture> saved = ReadSavedPicture(state.files.at(picture->file), {}, problem);
      if (!colours.contains(picture->palette)) {
        colours[picture->palette] = ColoursFor(state, picture->palette);
      }
      const MatchRules rules{&colours.at(picture->palette).palette,
                             picture->transparentZero,
                             state.options.nearest,
                             &state.manifest.palettes.at(picture->palette),
                             colours.at(picture->palette).name,
                             state.options.transparentColour};
      std::optional<MatchedFrame> matched;
      if (saved) {
        JobProblem mismatch;
        matched = MatchPicture(*saved, frame, rules, mismatch);
        problem = mismatch.words;
        state.refusal = mismatch.kind;
      }
      if (matched && !SameTag(frame.encoding, kTagPlan) && !SameTag(frame.encoding, kTagPlnr)) {
        problem = NrmlReachProblem(matched->image);
        state.refusal = ProblemKind::kEditRefused;
      }
      if (!matched || !problem.empty()) {
        error = picture->file + ": " + problem;
        return false;
      }
      state.nearestPixels += matched->nearestPixels;
      state.transparentPixels += matched->transparentPixels;
      if (matched->image.width == frame.width && matched->image.height == frame.height &&
          matched->image.pixels == frame.pixels) {
        continue;
      }
      form = form.empty() ? picture->file : form;
      edited[picture->frame] = std::move(matched->image);
    }
    if (edited.empty()) {
      continue;
    }
    std::string problem;
    std::optional<std::vector<std::uint8_t>> rebuilt = RebuildFrameSet(payload, decoded, edited, problem);
    if (!rebuilt) {
      error = form + ": " + state.Name(chunk) + ": " + problem;
      return false;
    }
    state.Propose(chunk, form, std::move(*rebuilt));
  }
  return true;
}

bool PaletteForm(PackState& state, std::string& error) {
  const std::optional<ManifestForm>& form = state.manifest.paletteFile;
  if (!form || !state.changed.contains(form->file)) {
    return true;
  }
  std::string problem;
  const std::optional<PngPalette> colours = ParseGimpPalette(state.files.at(form->file), problem);
  std::vector<std::uint8_t> payload = state.Payload(form->chunk);
  if (colours && payload.size() < kPaletteBytes) {
    problem = state.Name(form->chunk) + " holds fewer than 768 bytes";
  }
  if (!problem.empty()) {
    error = form->file + ": " + problem;
    return false;
  }
  const PngPalette before = PngPaletteOf(ConvertPalette(payload));
  for (std::size_t i = 0; i < colours->size(); ++i) {
    if ((*colours)[i] == before[i]) {
      continue;
    }
    const std::optional<std::uint8_t> source = SixBitComponent((*colours)[i]);
    if (!source) {
      const std::size_t entry = i / 3;
      const auto component = [&](std::size_t c) { return std::to_string((*colours)[3 * entry + c]); };
      const auto nearest = [&](std::size_t c) {
        return std::to_string(NearestConvertedComponent((*colours)[3 * entry + c]));
      };
      error = form->file + ": colour " + std::to_string(entry) + " (" + component(0) + " " + component(1) + " " +
              component(2) + ") cannot be given exactly by the file's 6-bit values; the nearest it can give is " +
              nearest(0) + " " + nearest(1) + " " + nearest(2);
      return false;
    }
    payload[i] = *source;
  }
  state.Propose(form->chunk, form->file, std::move(payload));
  return true;
}

bool NameForm(PackState& state, std::string& error) {
  const std::optional<ManifestForm>& form = state.manifest.nameFile;
  if (!form || !state.changed.contains(form->file)) {
    return true;
  }
  std::string problem;
  std::optional<std::vector<std::uint8_t>> name = NameOfTextFile(state.files.at(form->file), problem);
  if (!name) {
    error = form->file + ": " + problem;
    return false;
  }
  // Whatever followed the name's end in the chunk stays.
  const std::vector<std::uint8_t>& payload = state.Payload(form->chunk);
  name->insert(name->end(), payload.begin() + static_cast<std::ptrdiff_t>(RegionNameLength(payload)), payload.end());
  state.Propose(form->chunk, form->file, std::move(*name));
  return true;
}

// A definition's 16 bytes, each field written as ParseObjectDef reads it.
std::vector<std::uint8_t> ObjectDefBytes(const ObjectDef& definition) {
  authoring::ByteWriter writer;
  for (const ObjectDefField& field : kObjectDefFields) {
    const std::uint32_t value = definition.*field.member;
    if (field.width == 1) {
      writer.u8(static_cast<std::uint8_t>(value));
    } else {
      writer.u16le(static_cast<std::uint16_t>(value));
    }
  }
  return writer.take();
}

bool ObjectsForm(PackState& state, std::string& error) {
  const Manifest& manifest = state.manifest;
  if (!manifest.objectsFile || !state.changed.contains(*manifest.objectsFile)) {
    return true;
  }
  const std::string& file = *manifest.objectsFile;
  const std::vector<std::uint8_t>& text = state.files.at(file);
  const nlohmann::json json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
  const nlohmann::json* objects = Member(json, "objects");
  if (objects == nullptr || !objects->is_array()) {
    error = file + ": no JSON object with an \"objects\" list";
    return false;
  }
  std::map<std::string, std::size_t> listed;
  for (const std::size_t chunk : manifest.objectChunks) {
    listed[manifest.chunks[chunk].name] = chunk;
  }
  std::set<std::string> seen;
  for (const nlohmann::json& entry : *objects) {
    const std::string name = TextMember(entry, "chunk");
    if (!listed.contains(name) || !seen.insert(name).second) {
      error = file + ": a definition names " + (name.empty() ? std::string("no chunk") : Quoted(name)) +
              (listed.contains(name) ? " a second time" : ", which is no OJFF chunk of the folder");
      return false;
    }
    const ManifestChunk& chunk = manifest.chunks[listed.at(name)];
    JsonFields fields(entry, file + ": " + name + ":", error);
    ObjectDef definition;
    for (const ObjectDefField& field : kObjectDefFields) {
      definition.*field.member = static_cast<std::uint32_t>(fields.Unsigned(field.name, field.Largest()));
    }
    const nlohmann::json* id = Member(entry, "id");
    if (id == nullptr || !id->is_number_unsigned() || id->get<std::uint64_t>() != chunk.number) {
      fields.Fail("\"id\" is the chunk's number, " + std::to_string(chunk.number) + ", and cannot change");
    }
    if (!error.empty()) {
      return false;
    }
    state.Propose(listed.at(name), file, ObjectDefBytes(definition));
  }
  for (const auto& [name, chunk] : listed) {
    if (!seen.contains(name)) {
      error = file + ": " + name + " is missing; a definition cannot be removed here";
      return false;
    }
  }
  return true;
}

std::string_view TextOf(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// map.tmj: the region's cells, entities and name, each judged against its own chunk. The
// tilesets' pictures only show Tiled the tiles and objects: a changed one is refused rather than
// left out unsaid.
bool MapForm(PackState& state, std::string& error) {
  const std::optional<ManifestMap>& form = state.manifest.mapFile;
  if (!form) {
    return true;
  }
  for (const std::string& file : state.changed) {
    if (file.starts_with(kTiledFolder) && file.ends_with(".png")) {
      error = file + ": changed, but it only shows Tiled the region's tiles and objects: paint a tile in " +
              "frames/TILE-<number>-0.png, an object in the object library's unpack";
      return false;
    }
  }
  if (!state.changed.contains(form->file)) {
    return true;
  }
  RegionChunks before{state.Payload(form->map), std::nullopt, std::nullopt, form->tileCount};
  if (form->entities) {
    before.entities = state.Payload(*form->entities);
  }
  if (form->name) {
    before.name = state.Payload(*form->name);
  }
  TiledTilesets tilesets;
  if (const auto tiles = state.files.find(std::string(kTiledTilesTileset)); tiles != state.files.end()) {
    tilesets.tiles = TextOf(tiles->second);
  }
  if (form->objectsTileset) {
    tilesets.objects = TextOf(state.files.at(*form->objectsTileset));
  }
  std::optional<TiledEdits> edits = TiledEditsOf(TextOf(state.files.at(form->file)), tilesets, before, error);
  if (!edits) {
    return false;
  }
  state.notes.insert(state.notes.end(), edits->notes.begin(), edits->notes.end());
  if (edits->map) {
    state.Propose(form->map, form->file, std::move(*edits->map));
  }
  if (form->entities && edits->entities) {
    state.Propose(*form->entities, form->file, std::move(*edits->entities), edits->entityChanges);
  }
  if (form->name && edits->name) {
    state.Propose(*form->name, form->file, std::move(*edits->name));
  }
  return true;
}

using EditableForm = bool (*)(PackState&, std::string&);
// The palette comes before the pictures, which are matched against the palette the packed file
// will have.
constexpr std::array<EditableForm, 5> kEditableForms = {PaletteForm, PicturesForm, NameForm, ObjectsForm, MapForm};

// ---- what a changed chunk changed, counted

std::uint64_t DifferentFrames(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) {
  FrameSet sets[2];
  for (std::size_t i = 0; i < 2; ++i) {
    const std::span<const std::uint8_t> payload = i == 0 ? before : after;
    AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
    DecodeFrameSet(sets[i], payload, budget, LoadReport());
  }
  const std::size_t common = std::min(sets[0].frames.size(), sets[1].frames.size());
  std::uint64_t different = std::max(sets[0].frames.size(), sets[1].frames.size()) - common;
  for (std::size_t frame = 0; frame < common; ++frame) {
    const Frame& a = sets[0].frames[frame];
    const Frame& b = sets[1].frames[frame];
    different += a.width != b.width || a.height != b.height || a.pixels != b.pixels ? 1 : 0;
  }
  return different;
}

// How many of the first `count` records of `size` bytes differ; `rest` is set when the bytes past
// them differ.
std::uint64_t DifferentRecords(std::span<const std::uint8_t> before, std::span<const std::uint8_t> after,
                               std::size_t count, std::size_t size, bool& rest) {
  std::uint64_t different = 0;
  const auto part = [](std::span<const std::uint8_t> bytes, std::size_t from, std::size_t length) {
    return from >= bytes.size() ? std::span<const std::uint8_t>()
                                : bytes.subspan(from, std::min(length, bytes.size() - from));
  };
  for (std::size_t i = 0; i < count; ++i) {
    const auto a = part(before, i * size, size);
    const auto b = part(after, i * size, size);
    different += std::equal(a.begin(), a.end(), b.begin(), b.end()) ? 0 : 1;
  }
  const auto a = part(before, count * size, SIZE_MAX);
  const auto b = part(after, count * size, SIZE_MAX);
  rest = !std::equal(a.begin(), a.end(), b.begin(), b.end());
  return different;
}

// What `after` changed of a chunk's payload `before`, read as the chunk's tag says; entities by
// their place in the table.
ChunkChange CountedChange(const Tag& tag, std::span<const std::uint8_t> before, std::span<const std::uint8_t> after) {
  ChunkChange change;
  if (IsFrameSetTag(tag)) {
    change.framesChanged = DifferentFrames(before, after);
  } else if (SameTag(tag, kTagPal)) {
    change.coloursChanged = DifferentRecords(before, after, kPaletteBytes / 3, 3, change.otherBytesChanged);
  } else if (SameTag(tag, kTagMap)) {
    change.cellsRepainted = DifferentRecords(before, after, kMapBytes, 1, change.otherBytesChanged);
  } else if (SameTag(tag, kTagRnme)) {
    const auto beforeEnd = before.begin() + static_cast<std::ptrdiff_t>(RegionNameLength(before));
    const auto afterEnd = after.begin() + static_cast<std::ptrdiff_t>(RegionNameLength(after));
    change.nameChanged = !std::equal(before.begin(), beforeEnd, after.begin(), afterEnd);
    change.otherBytesChanged = !std::equal(beforeEnd, before.end(), afterEnd, after.end());
  } else if (SameTag(tag, kTagEtab)) {
    const std::optional<std::vector<Entity>> was = ParseEntities(before);
    const std::optional<std::vector<Entity>> now = ParseEntities(after);
    if (was && now) {
      const std::size_t common = std::min(was->size(), now->size());
      change.entities.added = now->size() - common;
      change.entities.removed = was->size() - common;
      for (std::size_t i = 0; i < common; ++i) {
        const Entity& a = (*was)[i];
        const Entity& b = (*now)[i];
        if (a.x != b.x || a.y != b.y) {
          ++change.entities.moved;
        } else if (a.z != b.z || a.flags != b.flags || a.objectId != b.objectId) {
          ++change.entities.changed;
        }
      }
    } else {
      change.otherBytesChanged = true;
    }
  } else if (SameTag(tag, kTagOjff) && before.size() == kObjectDefSize && after.size() == kObjectDefSize) {
    const std::unique_ptr<ObjectDef> was = ParseObjectDef(before, 0);
    const std::unique_ptr<ObjectDef> now = ParseObjectDef(after, 0);
    for (const ObjectDefField& field : kObjectDefFields) {
      if ((*was).*field.member != (*now).*field.member) {
        change.fieldsChanged.emplace_back(field.name);
      }
    }
  } else {
    change.otherBytesChanged = true;
  }
  const EntityChanges& entities = change.entities;
  if (change.framesChanged == 0 && change.coloursChanged == 0 && change.cellsRepainted == 0 && !change.nameChanged &&
      entities.added + entities.removed + entities.moved + entities.changed == 0 && change.fieldsChanged.empty()) {
    change.otherBytesChanged = true;
  }
  return change;
}

// ---- what pack writes, as the check finds it

// The check's findings of `bytes`, as lines: a region's, or a library's, as the manifest says the
// container is.
std::vector<std::string> FindingLines(const Manifest& manifest, const std::vector<std::uint8_t>& bytes) {
  std::vector<Finding> findings;
  if (manifest.paletteFile) {
    findings = CheckRegionBytes(bytes, manifest.source, nullptr).findings;
  } else if (manifest.objectsFile) {
    findings = CheckLibraryBytes(bytes, manifest.source).findings;
  }
  std::vector<std::string> lines;
  for (const Finding& finding : findings) {
    lines.push_back(EscapedText(FindingLine(finding)));
  }
  return lines;
}

// ---- checks of the folder against its manifest

bool FolderAgrees(const FolderFiles& files, const Manifest& manifest, std::set<std::string>& changed,
                  std::string& error) {
  for (const auto& [name, hash] : manifest.hashes) {
    const auto file = files.find(name);
    if (file == files.end()) {
      error = "manifest.json lists " + name + ", which the folder does not hold";
      return false;
    }
    if (ContentHash(file->second) != hash) {
      changed.insert(name);
    }
  }
  std::vector<std::string> needed = {kRestName};
  for (const ManifestChunk& chunk : manifest.chunks) {
    needed.push_back(chunk.File());
  }
  for (const ManifestPicture& picture : manifest.pictures) {
    needed.push_back(picture.file);
  }
  for (const auto& form : {manifest.paletteFile, manifest.nameFile}) {
    if (form) {
      needed.push_back(form->file);
    }
  }
  if (manifest.objectsFile) {
    needed.push_back(*manifest.objectsFile);
  }
  if (manifest.mapFile) {
    needed.push_back(manifest.mapFile->file);
    if (manifest.mapFile->objectsTileset) {
      needed.push_back(*manifest.mapFile->objectsTileset);
    }
  }
  for (const std::string& name : needed) {
    if (!manifest.hashes.contains(name)) {
      error = "manifest.json gives no hash for " + name + ", which it names";
      return false;
    }
  }
  if (changed.contains(kRestName)) {
    error = std::string(kRestName) +
            " was changed: it holds the header, the directory and the bytes between payloads, which pack lays out "
            "itself";
    return false;
  }
  const std::vector<Span> expected = UncoveredSpans(manifest);
  std::uint64_t restBytes = 0;
  bool sameSpans = expected.size() == manifest.rest.size();
  for (std::size_t i = 0; sameSpans && i < expected.size(); ++i) {
    sameSpans = expected[i].offset == manifest.rest[i].offset && expected[i].length == manifest.rest[i].length;
    restBytes += expected[i].length;
  }
  if (!sameSpans || restBytes != files.at(kRestName).size()) {
    error = "manifest.json's rest spans do not fit its chunks and rest.bin";
    return false;
  }
  for (std::size_t i = 0; i < manifest.chunks.size(); ++i) {
    const ManifestChunk& chunk = manifest.chunks[i];
    if (changed.contains(chunk.File()) && SameTag(manifest.RecordOf(chunk).tag, kTagGffi)) {
      error = chunk.File() +
              " was changed: an index chunk holds where the chunks of indexed records lie, which pack keeps "
              "itself";
      return false;
    }
    if (!changed.contains(chunk.File()) && files.at(chunk.File()).size() != manifest.InFile(i).length) {
      error = "manifest.json gives " + chunk.File() + " another length than the file has";
      return false;
    }
  }
  return true;
}

// The original bytes as far as the folder holds them; a changed chunk's bytes are those of its
// edited file, where they reach (for reading the directory) or zeros (`zeroChanged`).
std::vector<std::uint8_t> Reassemble(const FolderFiles& files, const Manifest& manifest,
                                     const std::set<std::string>& changed, bool zeroChanged) {
  std::vector<std::uint8_t> bytes(manifest.size, 0);
  for (const bool takeChanged : {true, false}) {
    for (std::size_t i = 0; i < manifest.chunks.size(); ++i) {
      const std::string file = manifest.chunks[i].File();
      if (changed.contains(file) != takeChanged || (takeChanged && zeroChanged)) {
        continue;
      }
      const Span span = manifest.InFile(i);
      const std::vector<std::uint8_t>& payload = files.at(file);
      std::copy_n(payload.begin(), std::min<std::size_t>(payload.size(), span.length),
                  bytes.begin() + static_cast<std::ptrdiff_t>(span.offset));
    }
  }
  const std::vector<std::uint8_t>& rest = files.at(kRestName);
  std::size_t position = 0;
  for (const Span& span : manifest.rest) {
    std::copy_n(rest.begin() + static_cast<std::ptrdiff_t>(position), span.length,
                bytes.begin() + static_cast<std::ptrdiff_t>(span.offset));
    position += span.length;
  }
  return bytes;
}

// The first difference between the directory `bytes` hold and `expected`; empty when none.
std::string DirectoryDifference(std::span<const std::uint8_t> bytes, const Manifest& expected,
                                std::uint64_t budgetBase) {
  Manifest found;
  ReadContainerDirectory(bytes, budgetBase, found);
  if (found.records.size() != expected.records.size() || found.chunks.size() != expected.chunks.size()) {
    return "the directory holds " + std::to_string(found.records.size()) + " records and " +
           std::to_string(found.chunks.size()) + " chunks, not " + std::to_string(expected.records.size()) + " and " +
           std::to_string(expected.chunks.size());
  }
  for (std::size_t i = 0; i < found.records.size(); ++i) {
    const ManifestRecord& a = found.records[i];
    const ManifestRecord& b = expected.records[i];
    if (!SameTag(a.tag, b.tag) || a.indexed != b.indexed || a.count != b.count || a.flags != b.flags) {
      return "record " + std::to_string(i) + " differs";
    }
  }
  for (std::size_t i = 0; i < found.chunks.size(); ++i) {
    const ManifestChunk& a = found.chunks[i];
    const ManifestChunk& b = expected.chunks[i];
    if (a.record != b.record || a.number != b.number || a.offset != b.offset || a.size != b.size ||
        a.offsetFieldAt != b.offsetFieldAt) {
      return b.name + " is listed as " + a.name + " at offset " + std::to_string(a.offset) + ", " +
             std::to_string(a.size) + " bytes";
    }
  }
  return {};
}

// Why the original cannot be laid out again without changing what the reader reads of chunks
// nobody touched; empty when it can.
std::string LayoutHazard(const Manifest& manifest) {
  const Span header{0, kHeaderSize};
  const std::uint64_t directoryEnd = std::uint64_t{manifest.directoryOffset} + manifest.directoryLength;
  const Span directory{manifest.directoryOffset, std::min(directoryEnd, manifest.size) -
                                                     std::min<std::uint64_t>(manifest.directoryOffset, manifest.size)};
  if (directoryEnd > manifest.size) {
    return "its directory reaches past the end of the file";
  }
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < manifest.chunks.size(); ++i) {
    const ManifestChunk& chunk = manifest.chunks[i];
    if (chunk.size > 0 && !PayloadWithin(chunk.Entry(), manifest.size)) {
      return chunk.name + " reaches past the end of the file";
    }
    const Span span = manifest.InFile(i);
    if (Intersects(span, header) || Intersects(span, directory)) {
      return chunk.name + " overlaps the header or the directory";
    }
    if (span.length > 0) {
      order.push_back(i);
    }
  }
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return manifest.chunks[a].offset < manifest.chunks[b].offset; });
  for (std::size_t k = 1; k < order.size(); ++k) {
    for (std::size_t j = k; j-- > 0;) {
      if (Intersects(manifest.InFile(order[j]), manifest.InFile(order[k]))) {
        return manifest.chunks[order[j]].name + " and " + manifest.chunks[order[k]].name + " overlap";
      }
      if (manifest.InFile(order[j]).offset + manifest.InFile(order[j]).length <= manifest.InFile(order[k]).offset) {
        break;
      }
    }
  }
  return {};
}

// Places the new payloads and patches their entries. False, with why, when an entry cannot be
// patched or the file would grow out of the reader's reach.
bool LayOut(authoring::ByteWriter& bytes, Manifest& layout, const std::map<std::size_t, Proposal*>& taken, bool hazards,
            std::string& error) {
  const Manifest original = layout;
  std::map<std::int64_t, int> fieldUsers;
  for (const ManifestChunk& chunk : original.chunks) {
    ++fieldUsers[chunk.offsetFieldAt];
  }
  for (const auto& [index, proposal] : taken) {
    ManifestChunk& chunk = layout.chunks[index];
    const std::vector<std::uint8_t>& payload = proposal->payload;
    const bool inPlace = !hazards && payload.size() <= chunk.size && original.InFile(index).length == chunk.size;
    const std::uint64_t offset = inPlace ? chunk.offset : bytes.size();
    if (offset + payload.size() >= kPositionLimit) {
      error = chunk.name + ": the file would grow past 2 GiB, beyond the reader's reach";
      return false;
    }
    if (offset == chunk.offset && payload.size() == chunk.size) {
      bytes.patch(offset, payload);
      continue;
    }
    if (chunk.offsetFieldAt < 0 || static_cast<std::uint64_t>(chunk.offsetFieldAt) + kFieldBytes > original.size) {
      error = chunk.name + ": its directory entry lies past the end of the file, so it cannot be moved";
      return false;
    }
    if (fieldUsers[chunk.offsetFieldAt] > 1) {
      error = chunk.name + ": its directory entry is shared with another record's chunk, so it cannot be moved alone";
      return false;
    }
    if (inPlace) {
      bytes.patch(offset, payload);
    } else {
      bytes.bytes(payload);
    }
    chunk.offset = static_cast<std::uint32_t>(offset);
    chunk.size = static_cast<std::uint32_t>(payload.size());
    bytes.patchU32le(static_cast<std::size_t>(chunk.offsetFieldAt), chunk.offset);
    bytes.patchU32le(static_cast<std::size_t>(chunk.offsetFieldAt) + 4, chunk.size);
  }
  layout.size = bytes.size();
  return true;
}

// Why the viewer would show the region in `before` but not the one in `after`; empty otherwise.
std::string NewRegionProblem(const std::vector<std::uint8_t>& before, const std::vector<std::uint8_t>& after,
                             std::uint64_t budgetBase) {
  const auto load = [budgetBase](const std::vector<std::uint8_t>& bytes) {
    GffFile file;
    return file.OpenBytes(bytes, LoadReport(), budgetBase) ? LoadRegion(file, LoadReport()) : nullptr;
  };
  const std::unique_ptr<Region> was = load(before);
  if (!was || !LoadedRegionProblem(*was).empty()) {
    return {};
  }
  const std::unique_ptr<Region> now = load(after);
  return now ? LoadedRegionProblem(*now) : std::string(kNotContainer);
}

}  // namespace

std::string ChunkChange::Text() const {
  const auto plural = [](std::uint64_t count, std::string_view one, std::string_view many) {
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
  };
  std::vector<std::string> parts;
  if (cellsRepainted > 0) {
    parts.push_back(plural(cellsRepainted, "cell repainted", "cells repainted"));
  }
  const std::pair<std::uint64_t, const char*> counts[] = {{entities.added, " added"},
                                                          {entities.removed, " removed"},
                                                          {entities.moved, " moved"},
                                                          {entities.changed, " changed (flip, z, flags or object)"}};
  for (const auto& [count, what] : counts) {
    if (count > 0) {
      parts.push_back(plural(count, "entity", "entities") + what);
    }
  }
  for (const std::string& layer : entities.emptiedLayers) {
    parts.push_back("the layer \"" + layer + "\" emptied");
  }
  if (framesChanged > 0) {
    parts.push_back(plural(framesChanged, "frame changed", "frames changed"));
  }
  if (coloursChanged > 0) {
    parts.push_back(plural(coloursChanged, "colour changed", "colours changed"));
  }
  if (nameChanged) {
    parts.push_back("name changed");
  }
  if (!fieldsChanged.empty()) {
    std::string fields;
    for (const std::string& field : fieldsChanged) {
      fields += (fields.empty() ? "" : ", ") + field;
    }
    parts.push_back("definition changed (" + fields + ")");
  }
  if (otherBytesChanged) {
    parts.push_back(parts.empty() ? "bytes changed" : "other bytes changed");
  }
  if (takenAsItIs) {
    parts.push_back("taken as it is (" + std::to_string(size) + " bytes" +
                    (size == originalSize ? "" : ", was " + std::to_string(originalSize)) + ")");
  }
  std::string text = chunk + ": from " + form;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    text += (i == 0 ? ": " : ", ") + parts[i];
  }
  return text;
}

namespace {

// The container, or nothing with why in `error` and the kind of refusal in `kind`.
std::optional<Packed> PackFiles(const Manifest& parsed, const FolderFiles& files, const PackOptions& options,
                                std::string& error, ProblemKind& kind) {
  const Manifest* manifest = &parsed;
  PackState state{files, *manifest, options, {}, {}, {}, 0, 0};
  if (!FolderAgrees(files, *manifest, state.changed, error)) {
    return std::nullopt;
  }
  Packed packed;
  packed.bytes = Reassemble(files, *manifest, state.changed, false);
  if (const std::string difference = DirectoryDifference(packed.bytes, *manifest, options.budgetBase);
      !difference.empty()) {
    error = "manifest.json does not agree with the directory the folder's files hold: " + difference;
    return std::nullopt;
  }
  if (state.changed.empty()) {
    return packed;
  }
  for (std::size_t i = 0; i < manifest->chunks.size(); ++i) {
    const std::string file = manifest->chunks[i].File();
    if (state.changed.contains(file)) {
      state.proposals[i].push_back({file, files.at(file), std::nullopt});
    }
  }
  for (const EditableForm form : kEditableForms) {
    if (!form(state, error)) {
      kind = state.refusal;
      return std::nullopt;
    }
  }
  packed.nearestPixels = state.nearestPixels;
  packed.transparentPixels = state.transparentPixels;
  packed.notes = std::move(state.notes);
  std::map<std::size_t, Proposal*> taken;
  for (auto& [index, proposals] : state.proposals) {
    for (Proposal& other : proposals) {
      if (other.payload != proposals.front().payload) {
        error = manifest->chunks[index].name + " was changed in two ways, " + proposals.front().form + " and " +
                other.form + ", that do not agree; keep one of the edits";
        return std::nullopt;
      }
    }
    taken[index] = &proposals.front();
    const ManifestChunk& chunk = manifest->chunks[index];
    ChunkChange change;
    if (state.changed.contains(chunk.File())) {
      change.takenAsItIs = true;
      change.size = proposals.front().payload.size();
      change.originalSize = manifest->InFile(index).length;
    } else {
      change = CountedChange(manifest->RecordOf(chunk).tag, state.Payload(index), proposals.front().payload);
    }
    change.chunk = chunk.name;
    change.form = proposals.front().form;
    if (proposals.front().entities) {
      change.entities = *proposals.front().entities;
    }
    packed.changes.push_back(std::move(change));
  }
  if (taken.empty()) {
    return packed;
  }
  const std::string hazard = LayoutHazard(*manifest);
  if (!hazard.empty() && !options.force) {
    error =
        "the container cannot be laid out again without changing what the reader reads of the chunks nobody "
        "edited: " +
        hazard;
    kind = ProblemKind::kLayoutWouldChange;
    return std::nullopt;
  }
  const std::vector<std::uint8_t> before = packed.bytes;
  authoring::ByteWriter laidOut(Reassemble(files, *manifest, state.changed, true));
  Manifest layout = *manifest;
  if (!LayOut(laidOut, layout, taken, !hazard.empty(), error)) {
    return std::nullopt;
  }
  packed.bytes = laidOut.take();
  if (const std::string difference = DirectoryDifference(packed.bytes, layout, options.budgetBase);
      !difference.empty() && !options.force) {
    error = "laid out again, the file's directory would not read as it should: " + difference;
    kind = ProblemKind::kLayoutWouldChange;
    return std::nullopt;
  }
  if (const std::string problem = NewRegionProblem(before, packed.bytes, options.budgetBase);
      !problem.empty() && !options.force) {
    error = "the original region loads, but the packed one would not: " + problem;
    kind = ProblemKind::kWouldNotLoad;
    return std::nullopt;
  }
  const std::vector<std::string> findings = FindingLines(*manifest, packed.bytes);
  packed.notes.insert(packed.notes.end(), findings.begin(), findings.end());
  return packed;
}

}  // namespace

std::optional<Packed> Pack(const Manifest& manifest, const FolderFiles& files, const PackOptions& options,
                           JobProblem& problem) {
  std::string error;
  ProblemKind kind = ProblemKind::kEditRefused;
  std::optional<Packed> packed = PackFiles(manifest, files, options, error, kind);
  if (!packed) {
    problem.kind = kind;
    problem.words = error;
    // A refusal that begins with a file of the folder is about that file.
    for (const auto& [file, hash] : manifest.hashes) {
      if (error.starts_with(file + ":") || error.starts_with(file + " ")) {
        problem.place.form = file;
        break;
      }
    }
  }
  return packed;
}

std::optional<Packed> Pack(const FolderFiles& files, const PackOptions& options, JobProblem& problem) {
  const auto manifestFile = files.find(kManifestName);
  problem.kind = ProblemKind::kNotContainer;
  if (manifestFile == files.end()) {
    problem.words = "no manifest.json: not a folder that karst-gff unpack made";
    return std::nullopt;
  }
  const std::optional<Manifest> manifest = ParseManifest(manifestFile->second, problem.words);
  return manifest ? Pack(*manifest, files, options, problem) : std::nullopt;
}

}  // namespace karst::tools
