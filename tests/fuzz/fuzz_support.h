#pragma once
// What the fuzz targets share: a program directory of their own and a way to
// fail loudly when a promise does not hold.

#include "platform/system.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantiro::fuzz {

// A temporary program directory for this process, made once.
inline const std::string& programDir() {
  static const std::string dir = [] {
    char tmpl[] = "/tmp/vantiro-fuzz-XXXXXX";
    if (!mkdtemp(tmpl)) std::abort();
    std::string d = std::string(tmpl) + "/";
    setProgramDirectory(d);
    setPauseScale(0);
    return d;
  }();
  return dir;
}

[[noreturn]] inline void broken(const char* promise) {
  std::fprintf(stderr, "broken promise: %s\n", promise);
  std::abort();
}

inline void require(bool holds, const char* promise) {
  if (!holds) broken(promise);
}

}  // namespace vantiro::fuzz
