// The object library of the sample world: trees, rocks, houses, fences and the small things of
// a countryside, a desert, a swamp and a town, drawn in code with the shared object colours of
// authoring/sample_palette.h.
//
// Each object's hotspot is at its foot, the point that stands on the entity's map position.
// Chunk numbers are deliberately out of order: OJFF numbers jump about, "BMP " numbers come in
// runs of four with the runs in descending order.
#pragma once

#include <cstdint>
#include <vector>

#include "authoring/sample_content.h"

namespace karst::authoring {

enum class Prop : std::uint8_t {
  kOak,
  kBigOak,
  kPine,
  kTallPine,
  kBirch,
  kBush,
  kBerryBush,
  kRedFlowers,
  kYellowFlowers,
  kBlueFlowers,
  kSmallRock,
  kBigRock,
  kBoulders,
  kStump,
  kLog,
  kReeds,
  kLilyPad,
  kMushroom,
  kDeadTree,
  kWillow,
  kCactus,
  kTallCactus,
  kPalm,
  kDryBush,
  kBones,
  kRockSpire,
  kMesa,
  kCottage,
  kFarmhouse,
  kTownHouse,
  kTownHall,
  kTower,
  kStall,
  kWell,
  kFenceAcross,
  kFenceDown,
  kSignpost,
  kLamp,
  kBarrel,
  kCrate,
  kHaystack,
  kBridgeAcross,
  kBridgeDown,
  kBoat,
  kBird,
  kTent,
  kStiltHut,
  kWisp,
  kTombstone,
  kFountain,
  kCart,
  kPillar,
  kSheep,
};
inline constexpr int kPropCount = static_cast<int>(Prop::kSheep) + 1;

// The OJFF chunk number of a prop.
std::uint16_t ObjectIdOf(Prop prop);

// Every prop, in the order of the enumeration.
std::vector<SampleObject> MakeSampleObjects();

}  // namespace karst::authoring
