#include "compress/page_kind.h"

#include <gtest/gtest.h>

#include <string>

namespace vantiro {
namespace {

// A text of `size` characters whose characters [from, from + count) are
// `c`, the others ASCII.
Text textWith(std::size_t size, std::size_t from, std::size_t count, char32_t c) {
  Text text(size, U'a');
  for (std::size_t k = from; k < from + count; ++k) text[k] = c;
  return text;
}

// More than one character in four must be the escape of an undecodable byte,
// wherever the escapes lie: the count may stop early only when the rest
// cannot change the answer.
TEST(PageKind, APageIsMostlyUndecodableFromMoreThanAQuarterOfEscapes) {
  struct Case {
    Text text;
    bool expected;
  };
  const char32_t escape = 0xDC80;
  for (const Case& c : {
           Case{Text(), false},
           Case{textWith(100, 75, 25, escape), false},
           Case{textWith(100, 74, 26, escape), true},  // all but one in the last quarter
           Case{textWith(100, 0, 26, escape), true},
           Case{textWith(101, 40, 26, escape), true},
           Case{textWith(7, 5, 2, escape), true},
           Case{textWith(7, 0, 1, escape), false},
           Case{textWith(64, 0, 64, 0xDCFF), true},
           Case{textWith(64, 0, 64, 0xDBFF), false},  // neighbours of the escapes are characters
           Case{textWith(64, 0, 64, 0xDD00), false},
       }) {
    EXPECT_EQ(mostlyUndecodable(c.text), c.expected) << c.text.size();
  }
}

}  // namespace
}  // namespace vantiro
