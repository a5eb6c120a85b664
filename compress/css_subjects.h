#pragma once
// Which elements a selector could match, reduced to what the passes can look
// up cheaply for every start tag: a tag name, a class or an id.
//
// Only the last compound of a selector names its subject, so "div.menu li"
// reads as "li". A compound must match as a whole, so one of its parts is
// enough to stand for it; the reader takes the narrowest (an id before a
// class before a tag name). Whatever the reader does not understand stands
// for every element: the answer may be too wide, never too narrow.

#include <cstdint>
#include <span>
#include <vector>

#include "compress/css_tokens.h"
#include "platform/text.h"

namespace vantiro {

enum class SubjectKind : std::uint8_t { Tag = 1, Class = 2, Id = 3 };

// A hash of the kind and the name with ASCII letters folded to lower case.
// Two names may share a key; that only widens an answer.
std::uint64_t subjectKey(SubjectKind kind, TextView name);

struct Subjects {
  bool everyElement = true;
  std::vector<std::uint64_t> keys;  // elements that match one of them; empty when everyElement
};

// The elements a selector list (a rule's prelude, without comments) could
// match. `parent` is what "&" stands for: the parent rule's subjects.
Subjects selectorSubjects(std::span<const CssToken> selectors, const Subjects& parent);

}  // namespace vantiro
