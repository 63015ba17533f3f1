// The display conversions' lane steps (PresentLevels.h), compiled once per SIMD target. A pixel's
// channel is an index into 32 or 64 displayed levels: byte shuffles look it up in sixteen-level
// parts of the table held in every 128-bit block, and the index's bits 4 and 5 choose among the
// parts' results.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "PresentLanes.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <array>
#include <initializer_list>

#include "PresentLevels.h"

HWY_BEFORE_NAMESPACE();
namespace glide {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET != HWY_EMU128 && HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_WASM

using D16 = hn::ScalableTag<uint16_t>;
using V16 = hn::Vec<D16>;
using D8 = hn::Repartition<uint8_t, D16>;
using D32 = hn::Repartition<uint32_t, D16>;
using V32 = hn::Vec<D32>;

// Each 16-bit lane's level for its index (0 .. 16 kParts - 1) from kParts sixteen-level tables,
// in the lane's low byte. The high byte's shuffle index has its top bit set: it yields zero.
// Index bits 4 and 5, moved to the top of the low byte, choose among the tables' bytes.
template <int kParts>
HWY_INLINE V16 Lookup(const hn::Vec<D8> (&tables)[kParts], V16 index) {
  static_assert(kParts == 2 || kParts == 4);
  const D16 d;
  const hn::Repartition<int8_t, D16> di8;
#if HWY_ARCH_X86
  // x86's byte shuffle reads an index's low four bits and its top bit: the others may stay.
  const auto at = hn::BitCast(D8(), hn::Or(index, hn::Set(d, 0x8000)));
#else
  const auto at = hn::BitCast(D8(), hn::OrAnd(hn::Set(d, 0x8000), index, hn::Set(d, 15)));
#endif
  const auto part = [&](int k) { return hn::BitCast(di8, hn::TableLookupBytesOr0(tables[k], at)); };
  const auto bit4 = hn::BitCast(di8, hn::ShiftLeft<3>(index));
  const auto low = hn::IfNegativeThenElse(bit4, part(1), part(0));
  if constexpr (kParts == 2) {
    return hn::BitCast(d, low);
  } else {
    const auto high = hn::IfNegativeThenElse(bit4, part(3), part(2));
    return hn::BitCast(d, hn::IfNegativeThenElse(hn::BitCast(di8, hn::ShiftLeft<2>(index)), high, low));
  }
}

// The displayed levels of a vector of RGB565 pixels, each in a 16-bit lane.
struct Levels {
  V16 r, g, b;
};

struct LevelTables {
  hn::Vec<D8> five[2], six[4];

  LevelTables(const uint8_t* fiveBit, const uint8_t* sixBit)
      : five{hn::LoadDup128(D8(), fiveBit), hn::LoadDup128(D8(), fiveBit + 16)},
        six{hn::LoadDup128(D8(), sixBit), hn::LoadDup128(D8(), sixBit + 16), hn::LoadDup128(D8(), sixBit + 32),
            hn::LoadDup128(D8(), sixBit + 48)} {}

  HWY_INLINE Levels Of(V16 pixel) const {
    const D16 d;
    return {Lookup(five, hn::ShiftRight<11>(pixel)), Lookup(six, hn::And(hn::ShiftRight<5>(pixel), hn::Set(d, 63))),
            Lookup(five, hn::And(pixel, hn::Set(d, 31)))};
  }
};

// The 64-bit quarters of `v`'s lower half interleaved with those of its upper half. The
// interleaving steps work within 128-bit blocks, taking the lower or upper 64 bits of each: after
// this they take consecutive quarters of the whole vector (on 128-bit targets nothing moves).
template <class V>
HWY_INLINE V InterleaveHalves(V v) {
  constexpr size_t kQuarters = HWY_LANES(uint64_t);
  if constexpr (kQuarters <= 2) {
    return v;
  } else {
    const hn::DFromV<V> d;
    const hn::Repartition<uint64_t, decltype(d)> d64;
    alignas(64) static constexpr auto kOrder = [] {
      std::array<uint64_t, kQuarters> order{};
      for (size_t i = 0; i < kQuarters; ++i) order[i] = (i % 2 == 0 ? 0 : kQuarters / 2) + i / 2;
      return order;
    }();
    return hn::BitCast(d, hn::TableLookupLanes(hn::BitCast(d64, v), hn::SetTableIndices(d64, kOrder.data())));
  }
}

// The levels of the pixels of `src` + 0 .. Lanes - 1, in the order InterleaveHalves gives them,
// so that the interleaving steps after the lookup give whole words in pixel order.
HWY_INLINE Levels LevelsForWords(const LevelTables& levels, const uint16_t* src) {
  return levels.Of(InterleaveHalves(hn::LoadU(D16(), src)));
}

// The 0x00RRGGBB words of the pixels LevelsForWords looked up: the first and the second half.
HWY_INLINE void Words(const Levels& l, V32& first, V32& second) {
  const D32 d32;
  const V16 gb = hn::Or(hn::ShiftLeft<8>(l.g), l.b);
  first = hn::ZipLower(d32, gb, l.r);
  second = hn::ZipUpper(d32, gb, l.r);
}

// Stores bound for the display: past the caches where `dst` is aligned to whole vectors (the
// picture is read next by another process, the display server, or by the GPU's upload; writing
// it through the caches first reads every line in), else plainly.
struct DisplayStores {
  bool stream;

  explicit DisplayStores(std::initializer_list<const void*> rows) : stream(true) {
    for (const void* row : rows) stream = stream && reinterpret_cast<uintptr_t>(row) % (hn::Lanes(D32()) * 4) == 0;
  }
  ~DisplayStores() {
    if (stream) hwy::FlushStream();
  }
  HWY_INLINE void Store(V32 v, uint32_t* dst) const {
    if (stream) {
      hn::Stream(v, D32(), dst);
    } else {
      hn::StoreU(v, D32(), dst);
    }
  }
  // Each word of `words` twice, at `dst` (two vectors).
  HWY_INLINE void StoreDoubled(V32 words, uint32_t* dst) const {
    const D32 d32;
    const V32 arranged = InterleaveHalves(words);
    Store(hn::InterleaveLower(d32, arranged, arranged), dst);
    Store(hn::InterleaveUpper(d32, arranged, arranged), dst + hn::Lanes(d32));
  }
};

int ToXrgbLanes(const uint8_t* fiveBit, const uint8_t* sixBit, const uint16_t* src, int count, uint32_t* dst) {
  const D16 d;
  const int step = static_cast<int>(hn::Lanes(d));
  const LevelTables levels(fiveBit, sixBit);
  const DisplayStores out({dst});
  int i = 0;
  for (; i + step <= count; i += step) {
    V32 first, second;
    Words(LevelsForWords(levels, src + i), first, second);
    out.Store(first, dst + i);
    out.Store(second, dst + i + step / 2);
  }
  return i;
}

int ToXrgbDoubledLanes(const uint8_t* fiveBit, const uint8_t* sixBit, const uint16_t* src, int count, uint32_t* dst0,
                       uint32_t* dst1) {
  const D16 d;
  const int step = static_cast<int>(hn::Lanes(d));
  const LevelTables levels(fiveBit, sixBit);
  const DisplayStores out({dst0, dst1});
  int i = 0;
  for (; i + step <= count; i += step) {
    V32 first, second;
    Words(LevelsForWords(levels, src + i), first, second);
    out.StoreDoubled(first, dst0 + 2 * i);
    out.StoreDoubled(second, dst0 + 2 * i + step);
    out.StoreDoubled(first, dst1 + 2 * i);
    out.StoreDoubled(second, dst1 + 2 * i + step);
  }
  return i;
}

// A channel's share of Y' in 1/256 of a level: the high half of (level * 256) * weight.
HWY_INLINE V16 LumaShare(V16 level, uint16_t weight) {
  return hn::MulHigh(hn::ShiftLeft<8>(level), hn::Set(D16(), weight));
}

// Y' of each pixel (16-bit lanes), then as bytes at `dst`.
HWY_INLINE void StoreLuma(const Levels& l, uint8_t* dst) {
  const D16 d;
  const V16 sum = hn::Add(hn::Add(LumaShare(l.r, kLumaR), LumaShare(l.g, kLumaG)),
                          hn::Add(LumaShare(l.b, kLumaB), hn::Set(d, 16 * 256 + 128)));
  const hn::Rebind<int16_t, D16> di16;
  hn::StoreU(hn::DemoteTo(hn::Rebind<uint8_t, D16>(), hn::BitCast(di16, hn::ShiftRight<8>(sum))), hn::Rebind<uint8_t, D16>(),
             dst);
}

using DI32 = hn::Repartition<int32_t, D16>;

// `weight` times each horizontal pair's sum of a channel's two-row sums (0 .. 510): one 32-bit
// lane per 2 x 2 block. x86's multiply-add of 16-bit pairs does it in one instruction, which
// Highway 1.0 does not offer (its widening multiply-add leaves the lanes' order open).
HWY_INLINE hn::Vec<DI32> WeightedBlockSums(V16 sums, int16_t weight) {
#if HWY_TARGET == HWY_SSE4
  return hn::Vec<DI32>{_mm_madd_epi16(sums.raw, _mm_set1_epi16(weight))};
#elif HWY_TARGET == HWY_AVX2
  return hn::Vec<DI32>{_mm256_madd_epi16(sums.raw, _mm256_set1_epi16(weight))};
#elif HWY_TARGET == HWY_AVX3 || HWY_TARGET == HWY_AVX3_DL
  return hn::Vec<DI32>{_mm512_madd_epi16(sums.raw, _mm512_set1_epi16(weight))};
#else
  const D32 d32;
  const V32 pairs = hn::BitCast(d32, sums);
  const V32 blocks = hn::Add(hn::And(pairs, hn::Set(d32, 0xFFFF)), hn::ShiftRight<16>(pairs));
  return hn::Mul(hn::BitCast(DI32(), blocks), hn::Set(DI32(), weight));
#endif
}

// The blocks' Cb or Cr from the channels' two-row sums, as bytes at `dst`.
HWY_INLINE void StoreChroma(const V16 (&sums)[3], int16_t wr, int16_t wg, int16_t wb, uint8_t* dst) {
  const DI32 di;
  const auto v = hn::Add(hn::Add(WeightedBlockSums(sums[0], wr), WeightedBlockSums(sums[1], wg)),
                         hn::Add(WeightedBlockSums(sums[2], wb), hn::Set(di, 32768 + (128 << 16))));
  const auto level = hn::Min(hn::Max(hn::ShiftRight<16>(v), hn::Set(di, 16)), hn::Set(di, 240));
  hn::StoreU(hn::U8FromU32(hn::BitCast(D32(), level)), hn::Rebind<uint8_t, DI32>(), dst);
}

int RowPairToYuvLanes(const uint8_t* fiveBit, const uint8_t* sixBit, const uint16_t* top, const uint16_t* bottom,
                      int width, uint8_t* lumaTop, uint8_t* lumaBottom, uint8_t* cb, uint8_t* cr) {
  const D16 d;
  const int step = static_cast<int>(hn::Lanes(d));
  const LevelTables levels(fiveBit, sixBit);
  int x = 0;
  for (; x + step <= width; x += step) {
    const Levels t = levels.Of(hn::LoadU(d, top + x));
    const Levels b = levels.Of(hn::LoadU(d, bottom + x));
    StoreLuma(t, lumaTop + x);
    StoreLuma(b, lumaBottom + x);
    const V16 sums[3] = {hn::Add(t.r, b.r), hn::Add(t.g, b.g), hn::Add(t.b, b.b)};
    StoreChroma(sums, kCbR, kCbG, kCbB, cb + x / 2);
    StoreChroma(sums, kCrR, kCrG, kCrB, cr + x / 2);
  }
  return x;
}

PresentSteps Steps() { return {ToXrgbLanes, ToXrgbDoubledLanes, RowPairToYuvLanes}; }

#else
PresentSteps Steps() { return {nullptr, nullptr, nullptr}; }
#endif

}  // namespace

PresentSteps StepsForTarget() { return Steps(); }

}  // namespace HWY_NAMESPACE
}  // namespace glide
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "SpanTargets.h"

namespace glide {

HWY_EXPORT(StepsForTarget);

PresentSteps PresentStepsFor(SimdLevel level) {
  const auto entry = ForLevel(HWY_DISPATCH_TABLE(StepsForTarget), level);
  return entry != nullptr ? entry() : PresentSteps{nullptr, nullptr, nullptr};
}

}  // namespace glide
#endif  // HWY_ONCE
