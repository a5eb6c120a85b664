#include "compress/slot_text.h"

#include <gtest/gtest.h>

#include <string>

#include "common/page_error.h"
#include "compress/page_split.h"
#include "compress/tag_scanner.h"
#include "compress/text_routines.h"

namespace vantiro {
namespace {

std::string utf8(TextView t) { return toUtf8(t); }

// Three neighbouring windows on one buffer, as the scanner cuts a page.
struct Windows {
  Text page = U"aaaa|bbbb|cccc";
  SlotText a = SlotText::window(page.data(), 4);
  SlotText b = SlotText::window(page.data() + 5, 4);
  SlotText c = SlotText::window(page.data() + 10, 4);
};

TEST(SlotText, RewritingAWindowNeverReachesItsNeighbours) {
  Windows w;
  w.b.assign(U"xy");
  EXPECT_EQ(utf8(w.b), "xy");
  w.b.append(U"zz");  // still fits the window
  EXPECT_EQ(utf8(w.b), "xyzz");
  w.b.append(U"!");  // does not: moves to storage of its own
  EXPECT_EQ(utf8(w.b), "xyzz!");
  w.b.resize(7);
  EXPECT_EQ(w.b.view(), TextView(U"xyzz!\0\0", 7));
  EXPECT_EQ(utf8(w.a), "aaaa");
  EXPECT_EQ(utf8(w.c), "cccc");
  EXPECT_EQ(utf8(w.page), "aaaa|xyzz|cccc");

  w.c = U"longer than its window";
  EXPECT_EQ(utf8(w.c), "longer than its window");
  EXPECT_EQ(utf8(w.page), "aaaa|xyzz|cccc");
}

TEST(SlotText, APartOfItselfCanBeAssignedAndAppended) {
  Text page = U"abcdef";
  SlotText s = SlotText::window(page.data(), 6);
  s.assign(s.view().substr(2));
  EXPECT_EQ(utf8(s), "cdef");
  s.append(s.view());  // grows out of the window while reading itself
  EXPECT_EQ(utf8(s), "cdefcdef");
  s.append(s.view().substr(0, 4));
  EXPECT_EQ(utf8(s), "cdefcdefcdef");
  s.assign(s.view().substr(4, 4));
  EXPECT_EQ(utf8(s), "cdef");

  SlotText own(TextView(U"123"));
  for (int k = 0; k < 10; ++k) own.append(own.view());
  EXPECT_EQ(own.size(), 3u << 10);
  EXPECT_EQ(utf8(own.view().substr(own.size() - 3)), "123");
}

TEST(SlotText, CopiesOwnTheirTextAndMovesEmptyTheSource) {
  Windows w;
  SlotText copy = w.b;
  copy[0] = U'X';
  w.b[1] = U'Y';
  EXPECT_EQ(utf8(copy), "Xbbb");
  EXPECT_EQ(utf8(w.b), "bYbb");

  SlotText moved = std::move(w.c);
  EXPECT_EQ(utf8(moved), "cccc");
  EXPECT_TRUE(w.c.empty());  // NOLINT(bugprone-use-after-move): a moved slot is empty
  moved = std::move(copy);
  EXPECT_EQ(utf8(moved), "Xbbb");
}

TEST(SlotText, ACopiedSplitIsIndependentOfItsOriginal) {
  PageSplit original = scanPage(U"<p>one<b>two");
  PageSplit copy = original;
  copy.texts[0].assign(U"1");
  replaceAll(original.texts[1], U"two", U"2");
  copy.tags[1].append(U" class=x");
  EXPECT_EQ(utf8(original.texts[0]), "one");
  EXPECT_EQ(utf8(original.tags[1]), "b");
  EXPECT_EQ(utf8(copy.texts[0]), "1");
  EXPECT_EQ(utf8(copy.texts[1]), "two");
  EXPECT_EQ(utf8(copy.tags[1]), "b class=x");
  original = PageSplit();
  EXPECT_EQ(utf8(copy.texts[1]), "two");
}

// A slot that would pass its largest size fails as a page does, before it
// allocates; a page denser in tags than the scanner expects is cut whole.
TEST(SlotText, LimitsAndDensePagesAreHandledWhole) {
  SlotText s(TextView(U"abc"));
  EXPECT_THROW(s.resize(SlotText::kMaxChars + 1), PageError);
  EXPECT_EQ(utf8(s), "abc");

  Text dense;
  for (int k = 0; k < 5000; ++k) dense += U"<b>" + toText(k % 10);
  PageSplit split = scanPage(PageChars(dense));
  ASSERT_EQ(split.lastIndex, 4999);
  EXPECT_EQ(utf8(split.texts[4999]), "9");
  EXPECT_EQ(utf8(split.tags[2500]), "b");
}

}  // namespace
}  // namespace vantiro
