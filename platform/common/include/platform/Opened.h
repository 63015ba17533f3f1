// How the stand-ins open what they write to (the Glide stand-in's frame sinks, the MIDAS
// stand-in's sound outputs): an opener never throws and never prints. It returns an Opened that
// holds the thing opened, or the reason it could not be opened, or neither where nothing was
// asked of it. The caller reports the reason (once) and decides what happens instead.
#pragma once

#include <memory>
#include <string>
#include <utility>

namespace platform {

template <class T>
struct Opened {
  std::unique_ptr<T> opened;  // null when it failed or was not asked for
  std::string error;          // why it failed: one line, without a prefix

  static Opened Failure(std::string why) { return Opened{nullptr, std::move(why)}; }
  static Opened Nothing() { return Opened{}; }
  template <class U>
  static Opened Of(std::unique_ptr<U> thing) {
    return Opened{std::move(thing), {}};
  }

  bool Failed() const { return !error.empty(); }
};

}  // namespace platform
