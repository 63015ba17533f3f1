// What every published Glide function is made of: it runs its body inside Guard, which gives
// the body the function's name (from __func__) for its misuse reports and argument checks, and
// keeps every exception inside. The functions are in one file per chapter of the Glide
// reference: GlideBuffers.cpp (start-up and buffers), GlideRendering.cpp, GlideState.cpp,
// GlideTextures.cpp and GlideLfb.cpp. Each checks its arguments and forwards to the context.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <exception>
#include <utility>

#include "Context.h"
#include "glide.h"

namespace glide {

// The published function being run, for its reports: each reads "NAME: ...".
struct ApiCall {
  const char* name;

  // One misuse report "NAME: message" (printf rules).
  void Refuse(const char* format, ...) const __attribute__((format(printf, 2, 3))) {
    char text[400];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Misuse("%s: %s", name, text);
  }

  // The argument checks several functions share; each reports what it refuses.
  bool ValidTmu(GrChipID_t tmu) const {
    if (tmu == GR_TMU0) return true;
    Refuse("this board has TMU 0 only (got %d)", tmu);
    return false;
  }
  bool ValidCompare(GrCmpFnc_t function) const {
    if (function >= GR_CMP_NEVER && function <= GR_CMP_ALWAYS) return true;
    Refuse("unknown compare function %d", function);
    return false;
  }
  bool ValidCombine(GrCombineFunction_t function, GrCombineFactor_t factor) const {
    const bool functionOk = (function >= 0 && function <= 9) || function == 0x10;
    const bool factorOk = factor >= 0 && factor <= 0xd && factor != 6 && factor != 7;
    if (functionOk && factorOk) return true;
    Refuse("unknown combine function %d or factor %d", function, factor);
    return false;
  }
  bool ValidTexInfo(const GrTexInfo* info) const {
    if (info != nullptr) return true;
    Refuse("no GrTexInfo");
    return false;
  }
  bool ValidVertices(const void* a, const void* b = "", const void* c = "") const {
    if (a != nullptr && b != nullptr && c != nullptr) return true;
    Refuse("null vertex");
    return false;
  }
};

// Runs the body of the published function `name` (pass __func__) with its ApiCall. An exception
// (only allocation can fail) is reported the first time it leaves that function, later ones
// silently; the call then does nothing more and returns its type's default (FXFALSE, 0). Every
// step in the context either completes or leaves its state marked for rebuilding, so the next
// call starts from a consistent state.
template <class F>
auto Guard(const char* name, F&& body) -> decltype(body(ApiCall{name})) {
  static bool reported = false;  // one flag per published function: each passes its own lambda
  try {
    return body(ApiCall{name});
  } catch (const std::exception& e) {
    if (!std::exchange(reported, true)) Misuse("%s failed: %s", name, e.what());
  } catch (...) {
    if (!std::exchange(reported, true)) Misuse("%s failed", name);
  }
  return decltype(body(ApiCall{name}))();
}

}  // namespace glide
