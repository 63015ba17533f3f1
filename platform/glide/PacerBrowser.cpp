// The swap's wait in a web page, whose thread is the page's: instead of sleeping, the program
// gives the thread back to the page until the page's refresh nearest the swap's slot, so that
// each frame is shown at a refresh of the viewer's display. Where the display refreshes at the
// board's rate, its refreshes set the slots, as the board's retraces do; at another rate the
// slots keep the board's rate and each frame goes to the refresh nearest its slot. A late swap
// (kept up with) only lets the page paint and run its events before the next frame is drawn.
#include "Pacer.h"

#include <emscripten.h>

#include "platform/BrowserPage.h"

namespace glide {
namespace {

SwapPacer::Clock::time_point LastReturn{};  // when the previous swap's wait returned

// Module.onSwapPaced, if the page has one, hears of every paced swap: how long the frame took to
// draw since the previous swap returned, and how late it was shown after its slot, in ms.
EM_JS(void, keldrin_swap_paced, (double drawMs, double lateMs), {
  if (Module.onSwapPaced) Module.onSwapPaced(drawMs, lateMs);
});

double Milliseconds(SwapPacer::Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

}  // namespace

SwapPacer::Clock::time_point SwapPacer::WaitForSwap(int interval) {
  const Clock::time_point called = Clock::now();
  const Swap swap = Plan(called, interval);
  const Clock::duration refresh = platform::RefreshPeriod();
  Clock::time_point shown;
  Clock::time_point slot = swap.slot;
  if (swap.shown <= called) {
    platform::YieldToPage();
    shown = Clock::now();
  } else {
    const Clock::duration half = (refresh > Clock::duration::zero() ? refresh : period_) / 2;
    do {
      shown = platform::WaitForRefresh();
    } while (shown < swap.shown - half);
    const Clock::duration mismatch = refresh > period_ ? refresh - period_ : period_ - refresh;
    const Clock::duration offset = shown > swap.slot ? shown - swap.slot : swap.slot - shown;
    if (mismatch < period_ / 50 && offset < half) slot = shown;
  }
  if (LastReturn != Clock::time_point{}) keldrin_swap_paced(Milliseconds(called - LastReturn), Milliseconds(shown - slot));
  lastSlot_ = slot;
  haveSwap_ = true;
  LastReturn = Clock::now();
  return shown;
}

}  // namespace glide
