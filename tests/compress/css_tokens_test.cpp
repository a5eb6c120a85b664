#include "compress/css_tokens.h"

#include <gtest/gtest.h>

#include <string>

namespace vantiro {
namespace {

const char* kindName(CssTokenKind kind) {
  switch (kind) {
    case CssTokenKind::End:
      return "end";
    case CssTokenKind::Comment:
      return "comment";
    case CssTokenKind::Whitespace:
      return "ws";
    case CssTokenKind::String:
      return "string";
    case CssTokenKind::BadString:
      return "bad-string";
    case CssTokenKind::Url:
      return "url";
    case CssTokenKind::BadUrl:
      return "bad-url";
    case CssTokenKind::Ident:
      return "ident";
    case CssTokenKind::Function:
      return "function";
    case CssTokenKind::AtKeyword:
      return "at";
    case CssTokenKind::Hash:
      return "hash";
    case CssTokenKind::Number:
      return "number";
    case CssTokenKind::Percentage:
      return "percentage";
    case CssTokenKind::Dimension:
      return "dimension";
    case CssTokenKind::Delim:
      return "delim";
    case CssTokenKind::Colon:
      return ":";
    case CssTokenKind::Semicolon:
      return ";";
    case CssTokenKind::Comma:
      return ",";
    case CssTokenKind::OpenSquare:
      return "[";
    case CssTokenKind::CloseSquare:
      return "]";
    case CssTokenKind::OpenParen:
      return "(";
    case CssTokenKind::CloseParen:
      return ")";
    case CssTokenKind::OpenCurly:
      return "{";
    case CssTokenKind::CloseCurly:
      return "}";
    case CssTokenKind::Cdo:
      return "cdo";
    case CssTokenKind::Cdc:
      return "cdc";
  }
  return "?";
}

// The tokens as "kind" or "kind=value", space separated; also checks that
// the spans cover the input in order without gaps.
std::string describe(TextView css) {
  CssTokenizer tokenizer(css);
  std::string out;
  std::size_t expectedBegin = 0;
  for (CssToken t = tokenizer.next(); t.kind != CssTokenKind::End; t = tokenizer.next()) {
    EXPECT_EQ(t.begin, expectedBegin) << toUtf8(css);
    EXPECT_LT(t.begin, t.end) << toUtf8(css);
    expectedBegin = t.end;
    if (!out.empty()) out += ' ';
    out += kindName(t.kind);
    if (!t.value.empty() && t.kind != CssTokenKind::Delim) out += "=" + toUtf8(t.value);
    if (t.kind == CssTokenKind::Delim) out += toUtf8(t.value);
  }
  EXPECT_EQ(expectedBegin, css.size()) << toUtf8(css);
  return out;
}

struct Case {
  const char32_t* css;
  const char* tokens;
};

TEST(CssTokenizer, ReadsTokensAsABrowserDoes) {
  for (const Case& c : std::initializer_list<Case>{
           {U"a{color:red}", "ident=a { ident=color : ident=red }"},
           {U"p  >\n\t.x", "ident=p ws delim> ws delim. ident=x"},
           {U"#main #1x", "hash=main ws hash=1x"},
           {U"# x", "delim# ws ident=x"},
           {U"@media screen", "at=media ws ident=screen"},
           {U"@ x @-x", "delim@ ws ident=x ws at=-x"},
           {U"calc(1px + 2%)", "function=calc dimension ws delim+ ws percentage )"},
           {U"-.5e+3em +1 -x --y 1e", "dimension ws number ws ident=-x ws ident=--y ws dimension"},
           {U"<!-- a -->", "cdo ws ident=a ws cdc"},
           {U"a /* } */ b /* open", "ident=a ws comment ws ident=b ws comment"},
           {U"a/**/b", "ident=a comment ident=b"},
           {U"[x=\"y\"],;()", "[ ident=x delim= string=y ] , ; ( )"},
           {U"u+ \\\n", "ident=u delim+ ws delim\\ ws"},  // a backslash before a line break escapes nothing
       })
    EXPECT_EQ(describe(c.css), c.tokens) << toUtf8(c.css);
}

TEST(CssTokenizer, UnescapesNamesAndStrings) {
  for (const Case& c : std::initializer_list<Case>{
           {U".a\\:b", "delim. ident=a:b"},
           {U".\\31 0", "delim. ident=10"},            // a hex escape ends at one space
           {U".\\31  0", "delim. ident=1 ws number"},  // the second is a combinator
           {U".\\31\r\nx", "delim. ident=1x"},         // CR LF closes a hex escape as one
           {U"\\0 x", "ident=\uFFFDx"},                // NUL is replaced
           {U"\\110000 \\d800 ", "ident=\uFFFD\uFFFD"},
           {U"di\\73 play", "ident=display"},
           {U"#a\\ b", "hash=a b"},
           {U"\"a\\\"b\" 'c\\'d'", "string=a\"b ws string=c'd"},
           {U"\"a\\\nb\" \"c\\\r\nd\"", "string=ab ws string=cd"},  // an escaped line break joins
           {U"\"x\\", "string=x"},
           {U"@\\69mport", "at=import"},
       })
    EXPECT_EQ(describe(c.css), c.tokens) << toUtf8(c.css);
  EXPECT_EQ(describe(TextView(U"a\0b", 3)),
            "ident=a\uFFFD"
            "b");  // a NUL in a name is replaced
}

TEST(CssTokenizer, CutsBrokenStringsAtTheLineBreak) {
  for (const Case& c : std::initializer_list<Case>{
           {U"\"abc\nx", "bad-string=abc ws ident=x"},
           {U"'a\r\n}", "bad-string=a ws }"},
           {U"\"unclosed", "string=unclosed"},
           {U"'a\fb'", "bad-string=a ws ident=b string"},
       })
    EXPECT_EQ(describe(c.css), c.tokens) << toUtf8(c.css);
}

TEST(CssTokenizer, ReadsUnquotedUrlsAsOneToken) {
  for (const Case& c : std::initializer_list<Case>{
           {U"url(a.css)", "url=a.css"},
           {U"URL(  a b.png  )", "bad-url"},
           {U"url(  x.png  )", "url=x.png"},
           {U"url(\"x\")", "function=url string=x )"},
           {U"url(  'x' )", "function=url ws string=x ws )"},
           {U"url(a\\)b)", "url=a)b"},
           {U"url(a\"b) c", "bad-url ws ident=c"},
           {U"url(a(b\\)) c", "bad-url ws ident=c"},  // an escaped ")" does not end a bad url
           {U"url(x", "url=x"},
           {U"u\\rl(x)", "url=x"},
           {U"url (x)", "ident=url ws ( ident=x )"},
       })
    EXPECT_EQ(describe(c.css), c.tokens) << toUtf8(c.css);
}

}  // namespace
}  // namespace vantiro
