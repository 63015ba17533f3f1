// The web page the WebAssembly build runs in (BrowserPage.cpp). The program runs on the page's
// one thread, so whatever waits (the swap's retrace, a loop waiting for a key) gives the thread
// back to the page meanwhile: the call unwinds to the browser and resumes where it was (Asyncify)
// once the page has shown what was drawn and run its events.
#pragma once

#include <chrono>

namespace platform {

using PageClock = std::chrono::steady_clock;

// Returns at the page's next refresh (animation frame), with that refresh's time.
PageClock::time_point WaitForRefresh();

// The page's refresh period as measured over its recent refreshes; zero until known.
PageClock::duration RefreshPeriod();

// Lets the page paint and run its pending events, and returns as soon as it has.
void YieldToPage();

// YieldToPage when the program has kept the thread for a refresh period (or 1/60 s) or more
// since it last gave it back: an unpaced run still shows its frames and hears its keys.
void YieldToPageIfDue();

}  // namespace platform
