// The page as the display session of the WebAssembly build: the page is always there to show
// frames on (its canvas), and it is where waits give the thread back to. The script side keeps
// a running measure of the refresh period from the page's animation frames.
#include "platform/BrowserPage.h"

#include <emscripten.h>

namespace platform {
namespace {

PageClock::time_point LastTurn{};  // when the page last had the thread back

// performance.now(), the clock of animation frames, is also the clock steady_clock reads here.
PageClock::time_point FromPageTime(double milliseconds) {
  return PageClock::time_point(std::chrono::duration_cast<PageClock::duration>(
      std::chrono::duration<double, std::milli>(milliseconds)));
}

// Starts the refresh measure once: the median of the last 31 intervals between animation frames,
// until the program has ended (ABORT, the runtime's own flag).
EM_JS(void, keldrin_page_measure_refresh, (), {
  if (Module.keldrinRefresh) return;
  const intervals = [];
  let last = 0;
  Module.keldrinRefresh = { period: 0 };
  const tick = (time) => {
    if (ABORT) return;
    if (last > 0 && time > last) {
      intervals.push(time - last);
      if (intervals.length > 31) intervals.shift();
      const sorted = intervals.slice().sort((a, b) => a - b);
      Module.keldrinRefresh.period = sorted[sorted.length >> 1];
    }
    last = time;
    requestAnimationFrame(tick);
  };
  requestAnimationFrame(tick);
});

EM_JS(double, keldrin_page_refresh_period, (), { return Module.keldrinRefresh ? Module.keldrinRefresh.period : 0; });

// A page may hold the program before a refresh (Module.keldrinHold, a promise): the tests hold it
// on a chosen frame to look at the page.
EM_ASYNC_JS(double, keldrin_page_wait_refresh, (), {
  while (Module.keldrinHold) await Module.keldrinHold;
  return await new Promise((resolve) => requestAnimationFrame(resolve));
});

EM_ASYNC_JS(void, keldrin_page_yield, (), {
  while (Module.keldrinHold) await Module.keldrinHold;
  if (!Module.keldrinYieldChannel) {
    const channel = new MessageChannel();
    channel.waiting = [];
    channel.port1.onmessage = () => channel.waiting.shift()();
    Module.keldrinYieldChannel = channel;
  }
  const channel = Module.keldrinYieldChannel;
  await new Promise((resolve) => {
    channel.waiting.push(resolve);
    channel.port2.postMessage(0);
  });
});

}  // namespace

PageClock::time_point WaitForRefresh() {
  keldrin_page_measure_refresh();
  const PageClock::time_point refresh = FromPageTime(keldrin_page_wait_refresh());
  LastTurn = PageClock::now();
  return refresh;
}

PageClock::duration RefreshPeriod() {
  keldrin_page_measure_refresh();
  return FromPageTime(keldrin_page_refresh_period()).time_since_epoch();
}

void YieldToPage() {
  keldrin_page_yield();
  LastTurn = PageClock::now();
}

void YieldToPageIfDue() {
  const PageClock::duration period = RefreshPeriod();
  const PageClock::duration due = period > PageClock::duration::zero() ? period : std::chrono::microseconds(16667);
  if (PageClock::now() - LastTurn >= due) YieldToPage();
}

}  // namespace platform
