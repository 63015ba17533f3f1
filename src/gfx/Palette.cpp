#include "gfx/LoaderCommon.h"
#include "gfx/Loaders.h"

#include <algorithm>
#include <array>

FxU32 CurrentPalette[256] = {};

void LoadPalette(const char* name) {
  constexpr long long kSixBitFileSize = 768;
  long long size = 0;
  const gfx_internal::File file = gfx_internal::OpenRegularFile(name, size);
  if (!file) return;
  const bool sixBit = size == kSixBitFileSize;
  std::array<uint8_t, 768> rgb{};
  if (!gfx_internal::ReadExactly(file.get(), sixBit ? 0 : 8, rgb.data(), rgb.size())) return;
  const int shift = sixBit ? 2 : 0;
  // 6-bit components above 63 are outside the format; capped so none spills into its neighbour.
  const auto component = [&](size_t at) { return static_cast<FxU32>(sixBit ? std::min<uint8_t>(rgb[at], 63) : rgb[at]) << shift; };
  for (size_t i = 0; i < 256; ++i) {
    CurrentPalette[i] = component(3 * i) << 16 | component(3 * i + 1) << 8 | component(3 * i + 2);
  }
  grTexDownloadTable(GR_TMU0, GR_TEXTABLE_PALETTE, CurrentPalette);
}
