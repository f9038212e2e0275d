// The unpack folder's manifest.json: everything `pack` needs to lay a container out again, and
// the hash of every file the folder holds for it.
//
//   {"format": 1, "madeBy": "karst-gff unpack", "source": "RGN01.GFF", "size": 41290,
//    "hash": "xxh64", "sourceHash": "<hash of the container's bytes>",
//    "directory": {"offset": 16, "length": 130, "records": [
//       {"tag": "TILE", "tagHex": "54494c45", "form": "plain", "count": 2, "flags": 0,
//        "chunks": [{"name": "TILE-9", "number": 9, "offset": 146, "size": 300,
//                    "offsetFieldAt": 34}, ...]}, ...]},
//    "rest": {"file": "rest.bin", "spans": [[0, 146], [746, 12]]},
//    "palettes": {"region": "<768 bytes as hex>"},
//    "pictures": [{"file": "frames/TILE-9-0.png", "chunk": "TILE-9", "frame": 0,
//                  "palette": "region", "transparentZero": false}, ...],
//    "paletteFile": {"file": "palette.gpl", "chunk": "PAL-0"},
//    "nameFile": {"file": "name.txt", "chunk": "RNME-0"},
//    "objectsFile": {"file": "objects.json", "chunks": ["OJFF-1", ...]},
//    "files": {"chunks/TILE-9.bin": "<hash>", "rest.bin": "<hash>", ...}}
//
// Every chunk of the directory, in directory order, has its payload in chunks/<name>.bin: the
// bytes the file holds from its offset, up to its size or the end of the file. rest.bin holds
// the bytes no payload covers (header, directory, gaps, trailing bytes) one after the other; its
// spans say where each run of them lies. `offsetFieldAt` is where the entry's offset and size
// fields lie in the file (-1 when the reader did not get them).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gff/format.h"
#include "gff/gff_directory.h"
#include "tools/pictures/png_file.h"

namespace karst::tools {

// The files of an unpack folder in memory: path inside the folder ("chunks/TILE-9.bin") to bytes.
using FolderFiles = std::map<std::string, std::vector<std::uint8_t>>;

inline constexpr int kManifestFormat = 1;
inline constexpr const char* kManifestName = "manifest.json";
inline constexpr const char* kRestName = "rest.bin";
inline constexpr const char* kPaletteFileName = "palette.gpl";
inline constexpr const char* kNameFileName = "name.txt";
inline constexpr const char* kObjectsFileName = "objects.json";
// pack's record of what it wrote from the folder (tools/pack/pack_record.h): no manifest lists
// it, and no unpack writes it.
inline constexpr const char* kPackRecordName = "packed.json";
// The mark of an unpack that has not finished (tools/pack/unpack_files.h): bookkeeping, which no
// manifest lists and a finished unpack removes.
inline constexpr const char* kUnfinishedMarkName = ".unpacking";
// The keys of `palettes`: a region's own colours, those of the region a library was unpacked
// with (--palette), and greyscale.
inline constexpr const char* kRegionPaletteKey = "region";
inline constexpr const char* kLibraryPaletteKey = "library";
inline constexpr const char* kGreyPaletteKey = "grey";

struct ManifestRecord {
  Tag tag{};
  bool indexed = false;
  std::uint32_t count = 0;
  std::uint32_t flags = 0;
};

struct ManifestChunk {
  std::size_t record = 0;  // position in `records`
  std::string name;        // unique without regard to case: "TILE-9", "hex-ff000000-3", "TILE-9-2"
  std::uint32_t number = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  std::int64_t offsetFieldAt = -1;

  std::string File() const { return "chunks/" + name + ".bin"; }
  ChunkEntry Entry() const { return {number, offset, size, offsetFieldAt}; }
};

struct ManifestPicture {
  std::string file;
  std::size_t chunk = 0;  // position in `chunks`
  std::uint32_t frame = 0;
  std::string palette;  // key of `palettes`
  bool transparentZero = false;
};

// A file of the folder that stands for one chunk (palette.gpl, name.txt).
struct ManifestForm {
  std::string file;
  std::size_t chunk = 0;
};

// map.tmj, a region's Tiled map: the chunks it stands for, and what reading it back needs.
struct ManifestMap {
  std::string file;
  std::size_t map = 0;                        // the "MAP " chunk the viewer draws
  std::optional<std::size_t> entities;        // its "ETAB" chunk; none without one
  std::optional<std::size_t> name;            // its "RNME" chunk; none without one
  std::int32_t tileCount = 0;                 // how many tiles the map's bytes may name
  std::optional<std::string> objectsTileset;  // tiled/objects.tsj, when the map has object tiles
};

struct Span {
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct Manifest {
  std::string source;
  // The hash of the bytes the folder was unpacked from; empty in a manifest written before it
  // was kept.
  std::string sourceHash;
  std::uint64_t size = 0;
  std::uint32_t directoryOffset = 0;
  std::uint32_t directoryLength = 0;
  std::vector<ManifestRecord> records;
  std::vector<ManifestChunk> chunks;
  std::vector<Span> rest;
  std::map<std::string, PngPalette> palettes;
  std::vector<ManifestPicture> pictures;
  std::optional<ManifestForm> paletteFile;
  std::optional<ManifestForm> nameFile;
  std::optional<std::string> objectsFile;
  std::vector<std::size_t> objectChunks;
  std::optional<ManifestMap> mapFile;
  std::map<std::string, std::string> hashes;  // every listed file

  const ManifestRecord& RecordOf(const ManifestChunk& chunk) const { return records[chunk.record]; }
  // The bytes of chunk `index` that the file holds: from its offset to its end or the file's.
  Span InFile(std::size_t index) const;
  // The chunk named `name`; nothing when there is none.
  std::optional<std::size_t> FindChunk(const std::string& name) const;
};

// The chunk's file name stem: the tag without trailing blanks, or "hex-" and its eight hex digits
// when it holds a byte outside A-Z a-z 0-9 and blank (or only blanks); then "-" and the number.
std::string ChunkStem(const Tag& tag, std::uint32_t number);

// The manifest as indented JSON text, printable ASCII.
std::string ManifestText(const Manifest& manifest);

// The manifest in `text`; nothing, with what is wrong in `error`, when it is no JSON, not ours,
// of another format, or a field is missing, of the wrong kind or out of range, or names a file
// outside the folder.
std::optional<Manifest> ParseManifest(std::span<const std::uint8_t> text, std::string& error);

// Why `name` may not be a file of the folder: absolute, with a ".." or "." part, a backslash, a
// colon or an empty part. Empty when it may.
std::string UnsafeFolderName(const std::string& name);

}  // namespace karst::tools
