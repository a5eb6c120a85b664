#pragma once
// The rules of a page's style sheets, reduced to which elements they could
// make keep white space (see StyleEffects). The passes ask about every start
// tag, so a question costs a few hash lookups and allocates nothing.

#include <cstdint>
#include <vector>

#include "compress/style_effects.h"
#include "platform/text.h"

namespace vantiro {

class StyleRules {
 public:
  // Reads a style sheet (the text of a <style> element or a linked file) and
  // returns the addresses of its @import rules in order, unescaped
  // (url("x"), url(x), "x"), for the caller to read and add. Every top-level
  // @import counts, even one after other rules that a browser would skip.
  //
  // Rules inside @media, @supports, @layer, @container, @document,
  // @starting-style and unknown at-rules count whatever their condition;
  // rules in @scope count as if unscoped, its own declarations for every
  // element; @font-face, @keyframes, @page, @counter-style, @property and
  // other descriptor blocks are skipped. Nested rules count, "&" standing
  // for the parent's subjects. A broken sheet is read as a browser reads it
  // up to the break; anything unclear counts for every element.
  std::vector<Text> add(TextView css);
  void merge(const StyleRules& other);

  // Whether some rule read could give these effects to an element with this
  // tag name, class attribute (as written: its names are split at HTML
  // white space) and id. Names compare with ASCII letters in any case.
  StyleEffects effectsOn(TextView name, TextView classAttribute, TextView id) const;
  // No rule read has any effect: the caller may skip effectsOn altogether.
  bool affectsNothing() const { return entries_.empty() && !everyElement_.any(); }
  // Every effect some rule read could have on some element.
  StyleEffects possibleEffects() const;

 private:
  class Reader;  // reads one sheet into these rules

  struct Entry {
    std::uint64_t key;  // see subjectKey
    StyleEffects effects;
  };
  void addEntry(std::uint64_t key, StyleEffects effects);
  // Sorts the entries by key and joins the ones with the same key.
  void tidy();
  StyleEffects lookUp(std::uint64_t key) const;

  std::vector<Entry> entries_;
  std::uint64_t filter_ = 0;  // bit (key % 64) set for every key: most lookups end here
  StyleEffects everyElement_;
};

}  // namespace vantiro
