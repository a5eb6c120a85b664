#pragma once
// LF pages and their CR LF twins: the twin holds CR LF wherever the LF page
// holds LF, and the passes must treat both alike.

#include <optional>

#include "platform/text.h"

namespace vantiro::test {

inline Text replacedAll(TextView text, TextView from, TextView to) {
  Text out;
  std::size_t r = 0;
  for (std::size_t p = text.find(from); p != npos; p = text.find(from, r)) {
    out.append(text.substr(r, p - r)).append(to);
    r = p + from.size();
  }
  return out.append(text.substr(r));
}

// What an LF page written by the passes reads as in its twin, and back.
inline Text asCrLf(TextView lfText) { return replacedAll(lfText, U"\n", U"\r\n"); }
inline Text asLf(TextView crLfText) { return replacedAll(crLfText, U"\r\n", U"\n"); }

// The LF page whose twin is `crLfText`; none when no LF page has that twin
// (it holds a lone LF, or a CR right before a CR LF).
inline std::optional<Text> lfPageOf(TextView crLfText) {
  Text lf = asLf(crLfText);
  if (lf.find(U"\r\n") != npos || asCrLf(lf) != crLfText) return std::nullopt;
  return lf;
}

}  // namespace vantiro::test
