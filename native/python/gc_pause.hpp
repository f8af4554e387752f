// Pauses Python's cyclic collector while a large result is built.
//
// Every container made counts towards the collector's next run, and each run
// walks the half-built result again: "rawdict" of a 400k-char page cost three
// times as much per char as one of 10k chars. Our results hold no cycles and
// no Python code runs while they are built, so the collector has nothing to
// find there. The previous state comes back on every path, also when the
// caller had switched the collector off.
#pragma once

#include "py.hpp"

namespace textloom::py {

class GcPause {
 public:
  GcPause() : was_enabled_(PyGC_Disable() != 0) {}
  GcPause(const GcPause&) = delete;
  GcPause& operator=(const GcPause&) = delete;
  ~GcPause() {
    if (was_enabled_) PyGC_Enable();
  }

 private:
  bool was_enabled_;
};

}  // namespace textloom::py
