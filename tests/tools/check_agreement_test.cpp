// `karst-gff check` against the viewer itself: for regions with every kind of fault that keeps a
// region from loading (and the cases that just fit), the check's verdict and its first reason are
// what LoadZone does on a real display, its box included.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "data/zone.h"
#include "display/display_surface.h"
#include "gff/format.h"
#include "platform/message_box.h"
#include "tests/support/temp_dir.h"
#include "tools/inspect/game_check.h"

namespace karst {
namespace {

using authoring::ChunkTypeSpec;
using Bytes = std::vector<std::uint8_t>;

struct Parts {
  std::optional<Bytes> palette = Bytes(kPaletteBytes, 5);
  std::size_t tiles = 2;
  std::optional<Bytes> map = Bytes(kMapBytes, 1);
};

Bytes Write(const Parts& parts) {
  const Bytes tile =
      *authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(authoring::IndexedImage{16, 16, Bytes(256, 4)})});
  std::vector<ChunkTypeSpec> types;
  if (parts.palette) {
    types.push_back({kTagPal, {{0, *parts.palette}}});
  }
  if (parts.tiles > 0) {
    ChunkTypeSpec tiles{kTagTile, {}};
    for (std::size_t i = 0; i < parts.tiles; ++i) {
      tiles.chunks.push_back({static_cast<std::uint32_t>(i), tile});
    }
    types.push_back(tiles);
  }
  if (parts.map) {
    types.push_back({kTagMap, {{0, *parts.map}}});
  }
  return authoring::WriteContainer(types);
}

// Sets field `field` (4: offset, 8: size) of the first entry of the record tagged `tag`.
Bytes Patched(Bytes file, const Tag& tag, std::size_t field, std::uint32_t value) {
  for (std::size_t i = 0; i + 20 <= file.size(); ++i) {
    if (file[i] == tag[0] && file[i + 1] == tag[1] && file[i + 2] == tag[2] && file[i + 3] == tag[3]) {
      for (std::size_t b = 0; b < 4; ++b) {
        file[i + 8 + field + b] = static_cast<std::uint8_t>(value >> (8 * b));
      }
      return file;
    }
  }
  ADD_FAILURE() << "no record " << TagText(tag);
  return file;
}

Parts With(void (*change)(Parts&)) {
  Parts parts;
  change(parts);
  return parts;
}

struct AgreementWorld {
  const char* what;
  Bytes file;
  std::optional<NoteKind> rejection;  // the switch's reason; none when the region loads
};

std::vector<AgreementWorld> Worlds() {
  const Bytes clean = Write(Parts{});
  return {
      {"clean", clean, std::nullopt},
      {"no palette", Write(With([](Parts& p) { p.palette.reset(); })), NoteKind::kPaletteRejected},
      {"palette of 767 bytes", Write(With([](Parts& p) { p.palette = Bytes(767, 1); })), NoteKind::kPaletteRejected},
      {"palette of 768 bytes", Write(With([](Parts& p) { p.palette = Bytes(768, 1); })), std::nullopt},
      {"no tiles", Write(With([](Parts& p) { p.tiles = 0; })), NoteKind::kTilesRejected},
      {"as many tiles as the strip holds", Write(With([](Parts& p) { p.tiles = kMostTilesInStrip; })), std::nullopt},
      {"one tile more", Write(With([](Parts& p) { p.tiles = kMostTilesInStrip + 1; })), NoteKind::kTilesRejected},
      {"map of 12287 bytes", Write(With([](Parts& p) { p.map = Bytes(kMapBytes - 1, 0); })), NoteKind::kMapRejected},
      {"no map", Write(With([](Parts& p) { p.map.reset(); })), NoteKind::kMapRejected},
      {"nothing at all", Write(With([](Parts& p) {
         p.palette.reset();
         p.tiles = 0;
         p.map.reset();
       })),
       NoteKind::kMapRejected},
      // The palette's chunk claims more than the file: no palette; the tiles and the map are
      // passed over but keep their places.
      {"palette larger than the file", Patched(clean, kTagPal, 8, static_cast<std::uint32_t>(clean.size() + 1)),
       NoteKind::kPaletteRejected},
      // Out of reach, the palette keeps a buffer of zeros; the tiles and the map are passed over
      // but keep their places.
      {"palette out of reach", Patched(clean, kTagPal, 4, 0x80000000u), std::nullopt},
      // The map claiming the whole file: its read runs past the end, zeros behind.
      {"map cut short", Patched(clean, kTagMap, 8, static_cast<std::uint32_t>(clean.size())), std::nullopt},
      {"no container", Bytes{'G', 'F', 'F', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0}, std::nullopt},
  };
}

bool IsRejection(const LoadNote& note) {
  return note.kind == NoteKind::kMapRejected || note.kind == NoteKind::kPaletteRejected ||
         note.kind == NoteKind::kTilesRejected;
}

TEST(CheckAgreement, TheCheckSaysWhatTheRegionSwitchDoes) {
  testing::TempDir dir;
  platform::CaptureMessageBoxes(true);
  for (const AgreementWorld& world : Worlds()) {
    const std::string path = dir.Write("RGN01.GFF", world.file).string();
    const bool container = std::string(world.what) != "no container";

    const tools::RegionCheck check = tools::CheckRegion(path, nullptr);

    std::vector<LoadNote> notes;
    DisplaySurface display(nullptr, 480, 640, 8, 0);
    display.report = LoadReport::Into(notes);
    ASSERT_EQ(display.InitDirectDraw(), 1);
    platform::CaptureMessageBoxes(true);
    const bool loaded = display.LoadZone(path.c_str());
    std::vector<NoteKind> passed;
    for (const LoadNote& note : notes) {
      if (IsRejection(note)) {
        passed.push_back(note.kind);
      }
    }

    const bool expectLoads = container && !world.rejection;
    EXPECT_EQ(loaded, expectLoads) << world.what;
    EXPECT_EQ(check.loads, loaded) << world.what;
    if (world.rejection) {
      ASSERT_FALSE(check.rejections.empty()) << world.what;
      EXPECT_EQ(check.rejections.front().kind, *world.rejection) << world.what;
      EXPECT_EQ(passed, std::vector<NoteKind>{*world.rejection}) << world.what;
    } else {
      EXPECT_TRUE(check.rejections.empty()) << world.what;
      EXPECT_TRUE(passed.empty()) << world.what;
    }
    std::vector<std::string> boxes;
    for (const platform::CapturedMessageBox& box : platform::CapturedMessageBoxes()) {
      boxes.push_back(box.text);
    }
    const std::vector<std::string> expectedBoxes =
        world.rejection == NoteKind::kPaletteRejected ? std::vector<std::string>{"Error loading palette!"}
        : world.rejection == NoteKind::kTilesRejected ? std::vector<std::string>{"Error loading tiles"}
                                                      : std::vector<std::string>{};
    EXPECT_EQ(boxes, expectedBoxes) << world.what;
  }
  platform::CaptureMessageBoxes(false);
}

}  // namespace
}  // namespace karst
