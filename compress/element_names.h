#pragma once
// What HTML says about an element by its name alone: how a browser lays it
// out before any style sheet, and which tags end a paragraph by themselves.

#include <cstdint>

#include "platform/text.h"

namespace vantiro {

// How an element takes part in the flow of text when no style sheet says
// otherwise.
enum class ElementBox : std::uint8_t {
  // Shown within a line of text: every phrasing element, and every name HTML
  // does not know (custom elements, svg, math), which a browser shows inline.
  Inline,
  // Starts and ends its own block: white space beside it never shows.
  Block,
  // Not shown at all (script, style, title, template, meta, link, base): text
  // on both sides of it meets as if it were not there.
  Hidden,
};

struct ElementTraits {
  ElementBox box = ElementBox::Inline;
  bool isVoid = false;                 // has no contents and no end tag (br, img, meta, ...)
  bool startClosesParagraph = false;   // its start tag ends an open p (HTML's list, table aside)
  bool endClosesParagraph = false;     // its end tag ends a p still open inside it
  bool nestsUnchanged = false;         // the element inside itself looks the same (b, i, span, ...)
};

// The traits of the element named `name` (ASCII letters in any case).
ElementTraits traitsOf(TextView name);

// The element name of a tag text without "<" and ">": after an optional "/",
// up to white space, "/" or the end. Empty for comments, declarations and
// server blocks.
TextView elementName(TextView tag);

// Whether `name` equals `lowerName` with ASCII letters in any case.
bool namesAre(TextView name, TextView lowerName);

}  // namespace vantiro
