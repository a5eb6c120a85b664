#include "compress/script_compression.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>

#include "tests/compress/line_break_twins.h"

namespace vantiro {
namespace {

struct Case {
  const char32_t* input;
  const char32_t* expected;
};

// Every case runs on a CR LF page and, where an LF page has it as its twin,
// on that LF page, where it must give the result with LF for CR LF.
void expectCompressed(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    SlotText s{TextView(c.input)};
    compressScript(s, LineBreak::CrLf);
    EXPECT_EQ(toUtf8(s), toUtf8(c.expected)) << "\"" << toUtf8(c.input) << "\"";
    const std::optional<Text> lfPage = test::lfPageOf(c.input);
    if (!lfPage) continue;
    SlotText lf{TextView(*lfPage)};
    compressScript(lf, LineBreak::Lf);
    EXPECT_EQ(toUtf8(lf), toUtf8(test::asLf(c.expected))) << "LF page \"" << toUtf8(*lfPage) << "\"";
  }
}

TEST(ScriptCompression, CodeLosesSpacesAtLineEndsAndByBraces) {
  expectCompressed({
      {U"if (a)\r\n  { x=1; }", U"if (a)\r\n{x=1;}"},
      {U"  a {  b  \r\n c  ", U"a {  b\r\nc"},  // no "}": lines trimmed only
      {U"} else {", U"}else{"},
      {U"f() {\r\n  return 1;\r\n}\r\n", U"f(){\r\nreturn 1;\r\n}\r\n"},
      {U"a\t{ b }", U"a\t{b}"},  // only spaces go, never a tab
      {U"a \n b {}", U"a \n b{}"},  // a lone LF of a CR LF page breaks no line
      {U"", U""},
  });
}

TEST(ScriptCompression, StringsKeepEveryCharacter) {
  expectCompressed({
      {U"alert(\"Ink  { black }\"); { }", U"alert(\"Ink  { black }\");{}"},
      {U"x = 'a  b'; { }", U"x = 'a  b';{}"},
      {U"s = 'it\\'s { x }' ; { }", U"s = 'it\\'s { x }' ;{}"},
      {U"s = \"\\\\\" ; { }", U"s = \"\\\\\" ;{}"},                 // an escaped backslash ends no escape
      {U"s = 'a \\\r\n  { b }'; { }", U"s = 'a \\\r\n  { b }';{}"},  // a continued line
      {U"u = \"http://x  { }\"; { }", U"u = \"http://x  { }\";{}"},
      {U"s = 'open  \r\n  { x }", U"s = 'open  \r\n{x}"},  // a line break ends a string left open
  });
}

TEST(ScriptCompression, TemplatesKeepTheirTextAndCompressTheirCode) {
  expectCompressed({
      {U"t = `\r\n  <p>  { x }  \r\n  `; { }", U"t = `\r\n  <p>  { x }  \r\n  `;{}"},
      {U"t = `a ${ f( \"{ }\" ) } b`", U"t = `a ${f( \"{ }\" )} b`"},
      {U"t = `${ { a: `  ${ x }  ` } }  `", U"t = `${{a: `  ${x}  `}}  `"},
      {U"t = `a\\` { `  { x }", U"t = `a\\` { `{x}"},
      {U"t = `${\r\n    a\r\n  }\r\n  b`", U"t = `${\r\na\r\n}\r\n  b`"},
  });
}

// A "/" after a value divides, anywhere else it starts a regular expression,
// whose spaces by braces stay.
TEST(ScriptCompression, RegularExpressionsKeepEveryCharacter) {
  expectCompressed({
      {U"f(/ { x } /g)", U"f(/ { x } /g)"},
      {U"x = / { x } /", U"x = / { x } /"},
      {U"return / { x } /", U"return / { x } /"},
      {U"a && / { x } /", U"a && / { x } /"},
      {U"} / { x } /", U"}/ { x } /"},
      {U"f() / { x } /", U"f() /{x}/"},
      {U"a[0] / { x } /", U"a[0] /{x}/"},
      {U"a / { x } /", U"a /{x}/"},
      {U"2 / { x } /", U"2 /{x}/"},
      {U"a.return / { x } /", U"a.return /{x}/"},
      {U"x = /[/ ]{ 2 }/; { }", U"x = /[/ ]{ 2 }/;{}"},
      {U"x = /\\/ { /; { }", U"x = /\\/ { /;{}"},
      {U"x = /a[//] { /; { }", U"x = /a[//] { /;{}"},
      {U"x = / {\r\n{ y }", U"x = / {\r\n{y}"},  // a line break ends a regular expression
  });
}

TEST(ScriptCompression, CommentsAreTrimmedLikeCode) {
  expectCompressed({
      {U"a; // it's { x }  \r\n  b", U"a; // it's{x}\r\nb"},
      {U"/* it's {\r\n   x } */ y", U"/* it's{\r\nx}*/ y"},
      {U"<!-- it's { x }\r\n--> it's { y }", U"<!-- it's{x}\r\n--> it's{y}"},
      {U"a --> ' { }'", U"a --> ' { }'"},  // "-->" after a token on its line is code
  });
}

TEST(ScriptCompression, ALiteralLeftOpenRunsToTheEndUnchanged) {
  expectCompressed({
      {U"{ } x = \" { ", U"{}x = \" { "},
      {U"{ } x = ' \\", U"{}x = ' \\"},
      {U"{ } x = ` {\r\n  ", U"{}x = ` {\r\n  "},
      {U"{ } x = `${ '  ", U"{}x = `${'  "},
      {U"{ } x = `\\", U"{}x = `\\"},
      {U"{ } x = / { ", U"{}x = / { "},
      {U"{ } x = /[\\", U"{}x = /[\\"},
      {U"{ } /* x  ", U"{}/* x"},
  });
}

TEST(ScriptCompression, OnlyJavaScriptTypesHoldScripts) {
  struct TypeCase {
    std::optional<TextView> type, language;
    bool javaScript;
  };
  for (const TypeCase& c : {
           TypeCase{std::nullopt, std::nullopt, true},
           TypeCase{U"", std::nullopt, true},
           TypeCase{U"", U"vbscript", true},
           TypeCase{std::nullopt, U"", true},
           TypeCase{std::nullopt, U"JavaScript1.2", true},
           TypeCase{std::nullopt, U"vbscript", false},
           TypeCase{U"text/javascript", U"vbscript", true},
           TypeCase{U" Text/JavaScript\t", std::nullopt, true},
           TypeCase{U"text/javascript; charset=utf-8", std::nullopt, false},
           TypeCase{U"MODULE", std::nullopt, true},
           TypeCase{U"application/x-ecmascript", std::nullopt, true},
           TypeCase{U"text/livescript", std::nullopt, true},
           TypeCase{U"text/javascript1.6", std::nullopt, false},
           TypeCase{U"  ", std::nullopt, false},
           TypeCase{U"application/json", std::nullopt, false},
           TypeCase{U"application/ld+json", std::nullopt, false},
           TypeCase{U"importmap", std::nullopt, false},
           TypeCase{U"speculationrules", std::nullopt, false},
           TypeCase{U"text/template", std::nullopt, false},
           TypeCase{U"text/x-handlebars", std::nullopt, false},
       }) {
    EXPECT_EQ(isJavaScriptType(c.type, c.language), c.javaScript)
        << toUtf8(c.type.value_or(U"(none)")) << " / " << toUtf8(c.language.value_or(U"(none)"));
  }
}

}  // namespace
}  // namespace vantiro
