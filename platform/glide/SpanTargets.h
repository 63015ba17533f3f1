// Which compiled instance of a span unit's exported functions serves a SimdLevel: each unit
// compiles its lane stages once per target (Highway's foreach_target.h) and exports them with
// HWY_EXPORT; its dispatchers take the table's entry for the level instead of the best the CPU
// has, so that GLIDE_SIMD and the tests can choose.
#pragma once

#include <hwy/highway.h>

#include "Raster.h"


namespace glide {

// The Highway target of a level (0 for kNone and for levels of other architectures).
constexpr int64_t HighwayTarget(SimdLevel level) {
  switch (level) {
#if HWY_ARCH_X86
    case SimdLevel::kSse4: return HWY_SSE4;
    case SimdLevel::kAvx2: return HWY_AVX2;
    case SimdLevel::kAvx512: return HWY_AVX3;
#elif HWY_ARCH_ARM
    case SimdLevel::kNeon: return HWY_NEON;
#elif HWY_ARCH_WASM
    case SimdLevel::kWasm: return HWY_WASM;
#endif
    default: return 0;
  }
}

// The entry of an HWY_EXPORT table compiled for `level`, or null where this build has none.
template <class Fn, size_t kEntries>
Fn ForLevel(Fn const (&table)[kEntries], SimdLevel level) {
  const int64_t target = HighwayTarget(level);
  if (target == 0 || (target & HWY_TARGETS) == 0) return nullptr;
  // (The emulated fallback is never a level's target, so its slot is never asked for.)
  if constexpr (kEntries == 1) {
    // One target compiled: the table holds only it.
    return target == HWY_STATIC_TARGET ? table[0] : nullptr;
  } else {
    // The table's layout (hwy/targets.h): the chooser first, then one entry per dynamic target
    // in the order of their bits, the emulated fallback last.
    static_assert(kEntries == HWY_MAX_DYNAMIC_TARGETS + 2, "an HWY_EXPORT table");
    return table[hwy::Num0BitsBelowLS1Bit_Nonzero64(static_cast<uint64_t>(HWY_CHOSEN_TARGET_SHIFT(target)))];
  }
}

// The result of the entry for `level` called with `args`, or null where the build has none.
template <class Fn, size_t kEntries, class... Args>
auto CallForLevel(Fn const (&table)[kEntries], SimdLevel level, const Args&... args) -> decltype(table[0](args...)) {
  const Fn entry = ForLevel(table, level);
  return entry != nullptr ? entry(args...) : nullptr;
}

}  // namespace glide
