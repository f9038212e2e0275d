// The record `karst-gff pack` keeps inside an unpack folder (packed.json) of what it wrote from
// it: for every file it packed into, the hash of the bytes it last wrote there and the hashes of
// the folder's edited files at that moment.
//
//   {"madeBy": "karst-gff pack", "format": 1, "about": "...",
//    "packs": [{"file": "/home/me/game/RGN01.GFF", "hash": "<xxh64>",
//               "edits": {"frames/TILE-9-0.png": "<xxh64>"}}]}
//
// It is bookkeeping, never an editable form: no manifest lists it and pack never takes it as an
// edit. With it `pack --replace` tells the folder's own earlier output from a file someone else
// changed, and `unpack` tells a folder whose edits all went into the file it unpacks from one
// that holds edits packed nowhere. It only ever lets a write through, so a record that is lost
// or not ours reads as empty and makes both stricter, never looser.
#pragma once

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/pack/unpack_manifest.h"

namespace karst::tools {

// Listed file of the folder to its hash now, for every one that differs from the manifest's
// hash; a missing one has the hash "missing", which no bytes have.
using FolderEdits = std::map<std::string, std::string>;

struct PackRecordEntry {
  std::string file;   // the packed file, as PackedFileKey gives it
  std::string hash;   // of the bytes last written there from the folder
  FolderEdits edits;  // the folder's edits those bytes hold
};

struct PackRecord {
  std::vector<PackRecordEntry> packs;

  // The entry of the packed file `key`; null when none.
  const PackRecordEntry* Find(const std::string& key) const;
  // Keeps `entry`, in place of the one of the same file.
  void Note(PackRecordEntry entry);
  // Whether bytes of hash `hash`, written from the folder, hold exactly the edits `edits`.
  bool HoldsEdits(const std::string& hash, const FolderEdits& edits) const;
};

// The folder's edits: its listed files whose hash differs from the manifest's.
FolderEdits EditsOf(const Manifest& manifest, const FolderFiles& files);

std::string PackRecordText(const PackRecord& record);
PackRecord ParsePackRecord(std::span<const std::uint8_t> text);

// How the record names a packed file: its absolute path, links resolved, so that two spellings
// of one place are one entry; each byte as the character of its value (ByteText), so that any
// path is valid JSON text.
std::string PackedFileKey(const std::string& path);

// The record of `folder`; empty when it has none or one that is not ours.
PackRecord ReadPackRecord(const std::string& folder);

// Writes the record into `folder` by a temporary file and a rename. Empty on success, else why.
std::string WritePackRecord(const std::string& folder, const PackRecord& record);

}  // namespace karst::tools
