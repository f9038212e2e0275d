// Frame decoding speed in output pixels per second, for each encoding, over realistic frames:
// every tile and every object bitmap of the sample world, each encoded as NRML, PLAN and PLNR.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "authoring/frame_encoders.h"
#include "authoring/sample_world.h"
#include "gff/allocation_budget.h"
#include "gff/frame_set.h"

namespace karst::bench {
namespace {

using authoring::IndexedImage;

struct EncodedFrames {
  std::vector<std::vector<std::uint8_t>> payloads;  // one single-frame frame set each
  std::int64_t pixels = 0;
};

std::vector<IndexedImage> SampleImages() {
  const authoring::SampleWorld world = authoring::MakeSampleWorldContent();
  std::vector<IndexedImage> images;
  for (const authoring::SampleRegion& region : world.regions) {
    for (const authoring::SampleFrame& tile : region.tiles) {
      images.push_back(tile.image);
    }
  }
  for (const authoring::SampleObject& object : world.objects) {
    for (const authoring::SampleFrame& frame : object.frames) {
      images.push_back(frame.image);
    }
  }
  return images;
}

template <typename Encoder>
EncodedFrames Encode(Encoder encode) {
  static const std::vector<IndexedImage> images = SampleImages();
  EncodedFrames encoded;
  for (const IndexedImage& image : images) {
    const std::optional<std::vector<std::uint8_t>> frame = encode(image);
    if (!frame) {
      continue;
    }
    const auto payload = authoring::WriteFrameSetPayload({*frame});
    if (payload) {
      encoded.payloads.push_back(*payload);
      encoded.pixels += std::int64_t{image.width} * image.height;
    }
  }
  return encoded;
}

void Decode(benchmark::State& state, const EncodedFrames& frames) {
  if (frames.payloads.empty()) {
    state.SkipWithError("no frames");
    return;
  }
  for (auto _ : state) {
    for (const std::vector<std::uint8_t>& payload : frames.payloads) {
      FrameSet set;
      AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
      DecodeFrameSet(set, payload, budget, LoadReport());
      benchmark::DoNotOptimize(set.frames.data());
    }
  }
  state.SetItemsProcessed(state.iterations() * frames.pixels);
  state.counters["frames"] = static_cast<double>(frames.payloads.size());
}

void BM_DecodeNrml(benchmark::State& state) {
  static const EncodedFrames frames = Encode(authoring::EncodeNrmlFrame);
  Decode(state, frames);
}
BENCHMARK(BM_DecodeNrml);

void BM_DecodePlan(benchmark::State& state) {
  static const EncodedFrames frames = Encode(authoring::EncodePlanFrame);
  Decode(state, frames);
}
BENCHMARK(BM_DecodePlan);

void BM_DecodePlnr(benchmark::State& state) {
  static const EncodedFrames frames = Encode(authoring::EncodePlnrFrame);
  Decode(state, frames);
}
BENCHMARK(BM_DecodePlnr);

}  // namespace
}  // namespace karst::bench

BENCHMARK_MAIN();
