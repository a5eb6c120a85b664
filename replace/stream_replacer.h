#pragma once
// Search and replace in a text that comes a part at a time: a page decoded
// block by block, or a piece of it that runs over several blocks.

#include "platform/text.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace vantiro {

// What replacing in one text did.
struct StreamCount {
  long long count = 0;    // as replaceInText counts
  bool replaced = false;  // at least one occurrence was replaced
};

class StreamReplacer {
 public:
  using Put = std::function<void(TextView)>;

  // `put` receives the text with the occurrences replaced, in order, as the
  // parts come; an empty `put` only counts. An empty `find` finds nothing.
  StreamReplacer(TextView find, TextView replacement, int matchFlags, Put put);

  // Begins a new text, forgetting the last one.
  void start();
  // The next part of the text. An occurrence may straddle parts: the few
  // characters that may still belong to one are held until a later part or
  // finish tells.
  void feed(TextView part);
  // Ends the text, puts what was held, and gives what replaceInText would
  // have counted for the whole text.
  StreamCount finish();

 private:
  char32_t at(std::size_t index, TextView part, std::size_t partStart) const;
  void putRange(std::size_t from, std::size_t to, TextView part, std::size_t partStart);
  // An occurrence at `start` whose neighbours passed the whole-word test.
  void accept(std::size_t start, TextView part, std::size_t partStart);
  void reject(std::size_t start);

  Text needle_;  // upper-cased when case is ignored
  Text replacement_;
  std::vector<std::size_t> border_;  // Knuth-Morris-Pratt's table of the needle
  bool foldCase_;
  bool wholeWord_;
  Put put_;

  // Positions count characters from the start of the text.
  std::size_t matched_ = 0;   // characters of the needle matched so far
  std::size_t position_ = 0;  // characters fed
  std::size_t resume_ = 0;    // the next occurrence must start here or later
  std::size_t emitted_ = 0;   // the text before this is put
  std::size_t pending_;       // an occurrence whose right neighbour is in the next part, or npos
  Text held_;                 // the characters from heldStart_ to position_
  std::size_t heldStart_ = 0;
  StreamCount count_;
};

}  // namespace vantiro
