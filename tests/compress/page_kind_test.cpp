#include "compress/page_kind.h"

#include <gtest/gtest.h>

#include <string>

namespace vantiro {
namespace {

// More than one character in four must be the escape of a byte that starts
// no character in the page's encoding, whichever encoding that is.
TEST(PageKind, APageIsMostlyUndecodableFromMoreThanAQuarterOfBadBytes) {
  struct Case {
    const char* codePage;
    std::string bytes;
    bool expected;
  };
  for (const Case& c : {
           Case{"UTF-8", "", false},
           Case{"UTF-8", std::string(75, 'a') + std::string(25, '\xFF'), false},
           Case{"UTF-8", std::string(74, 'a') + std::string(26, '\xFF'), true},
           Case{"UTF-8", std::string(30, '\x80') + std::string(70, 'a'), true},
           Case{"UTF-8", std::string(40, 'a') + "\xE4\xB8" + std::string(2, 'a'), false},  // 2 cut bytes in 44
           Case{"UTF-8", std::string(20, '\xE4') + std::string(20, '\xB8') + std::string(20, '\xAD'), true},
           Case{"UTF-8", "\xE4\xB8\xAD\xE6\x96\x87\xE4\xB8\xAD\xE6\x96\x87\xFF", false},  // 1 bad byte, 4 characters
           Case{"UTF-8", "\xE4\xB8\xAD\xFF\xFF", true},
           Case{"GBK", std::string(30, '\xFF') + std::string(70, 'a'), true},  // 0xFF is no GBK character
           Case{"GBK", std::string(13, '\xFF') + std::string(39, 'a'), false},
           Case{"GBK", "\xD6\xD0\xCE\xC4" + std::string(4, '\xFF'), true},  // 4 bad bytes in 6 characters
           Case{"GB18030", std::string(30, '\xFF') + std::string(70, 'a'), true},
       }) {
    const PageChars page = PageChars::decode(c.bytes, CodePage::named(c.codePage));
    EXPECT_EQ(mostlyUndecodable(page), c.expected) << c.codePage << " " << c.bytes.size();
  }
}

}  // namespace
}  // namespace vantiro
