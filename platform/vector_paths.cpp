#include "platform/vector_paths.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace karst::platform {
namespace {

// The widest kind the processor has, as far as this build has code for it.
Vectors ProcessorVectors() {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("bmi2")) {
    return Vectors::Avx512;
  }
  if (__builtin_cpu_supports("avx2")) {
    return Vectors::Avx2;
  }
#endif
#if defined(__SSE2__)
  return Vectors::Sse2;
#else
  return Vectors::Plain;
#endif
}

}  // namespace

Vectors CappedVectors(Vectors widest, const char* cap) {
  if (cap == nullptr) {
    return widest;
  }
  constexpr std::pair<std::string_view, Vectors> kNames[] = {
      {"plain", Vectors::Plain}, {"sse2", Vectors::Sse2}, {"avx2", Vectors::Avx2}, {"avx512", Vectors::Avx512}};
  for (const auto& [name, vectors] : kNames) {
    if (name == cap) {
      return std::min(vectors, widest);
    }
  }
  return widest;
}

Vectors ChosenVectors() {
  static const Vectors chosen = CappedVectors(ProcessorVectors(), std::getenv("KARST_VECTORS"));
  return chosen;
}

std::vector<Vectors> AvailableVectors() {
  std::vector<Vectors> available;
  for (const Vectors vectors : {Vectors::Plain, Vectors::Sse2, Vectors::Avx2, Vectors::Avx512}) {
    if (vectors <= ProcessorVectors()) {
      available.push_back(vectors);
    }
  }
  return available;
}

const char* VectorsName(Vectors vectors) {
  switch (vectors) {
    case Vectors::Avx512:
      return "AVX-512";
    case Vectors::Avx2:
      return "AVX2";
    case Vectors::Sse2:
      return "SSE2";
    case Vectors::Plain:
      break;
  }
  return "plain";
}

Vectors BlitVectors(Vectors vectors) {
#if defined(__SSE2__)
  // The block loops are built with SSE2 where the build targets it: there is no narrower blit.
  return vectors < Vectors::Sse2 ? Vectors::Sse2 : vectors;
#else
  return Vectors::Plain;
#endif
}

Vectors ConversionVectors(Vectors vectors) { return vectors == Vectors::Sse2 ? Vectors::Plain : vectors; }

}  // namespace karst::platform
