#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compress/css_space.h"
#include "compress/style_effects.h"
#include "compress/style_rules.h"

namespace vantiro {
namespace {

// "inline", "pre", "both" or "-".
std::string named(StyleEffects e) {
  if (e.inlineDisplay && e.keepsWhiteSpace) return "both";
  if (e.inlineDisplay) return "inline";
  return e.keepsWhiteSpace ? "pre" : "-";
}

struct DeclarationCase {
  const char32_t* declarations;
  const char* effects;
};

TEST(CssDeclarations, ReportWhatCouldKeepWhiteSpace) {
  for (const DeclarationCase& c : std::initializer_list<DeclarationCase>{
           {U"display:block", "-"},
           {U"DISPLAY: Inline-Block !important", "inline"},
           {U"display: inline flow-root", "inline"},
           {U"display:contents", "inline"},
           {U"display:none", "inline"},  // the element's neighbours meet
           {U"display: flex; display: table-cell", "-"},
           {U"display: var(--d)", "inline"},
           {U"display: revert-layer", "inline"},
           {U"display: block !important", "-"},
           {U"di\\73 play: inline", "inline"},
           {U"display /* c */ : /* c */ inline", "inline"},
           {U"float: left", "inline"},
           {U"float: none; position: relative", "-"},
           {U"position: absolute", "inline"},
           {U"white-space: pre-wrap", "pre"},
           {U"white-space: nowrap; color: red", "-"},
           {U"white-space: inherit", "pre"},
           {U"white-space-collapse: preserve-breaks", "pre"},
           {U"white-space-collapse: collapse", "-"},
           {U"all: initial", "both"},
           {U"--display: inline; content: 'display: inline'", "-"},
           {U"color: red; display", "-"},
           {U"font: 12px/1 x; white-space: pre", "pre"},
           {U"x: f(;); white-space: pre", "pre"},  // ";" inside brackets ends nothing
           {U"a { display: inline }", "-"},        // a rule in a style attribute is not applied
           {U"color: red } white-space: pre", "pre"},
           {U"", "-"},
       })
    EXPECT_EQ(named(declarationEffects(TextView(c.declarations))), c.effects) << toUtf8(c.declarations);
}

struct Element {
  const char32_t* name;
  const char32_t* classes;
  const char32_t* id;
  const char* effects;
};

struct RulesCase {
  const char32_t* css;
  std::vector<Element> elements;
};

TEST(CssRules, MatchTheSubjectsOfTheirSelectors) {
  for (const RulesCase& c : std::initializer_list<RulesCase>{
           {U"div.related li { display: inline }", {{U"LI", U"", U"", "inline"}, {U"div", U"related", U"", "-"}}},
           {U"pre, .code, #out { white-space: pre }",
            {{U"pre", U"", U"", "pre"},
             {U"p", U"a  Code\tb", U"", "pre"},
             {U"p", U"", U"OUT", "pre"},
             {U"p", U"codes", U"", "-"}}},
           {U"div.nav { display: inline }", {{U"span", U"nav", U"", "inline"}, {U"div", U"", U"", "-"}}},
           {U"ul > li + li ~ li || td { display: inline }", {{U"td", U"", U"", "inline"}, {U"li", U"", U"", "-"}}},
           {U"a:hover, li::before, svg|text, *|p { display: inline }",
            {{U"a", U"", U"", "inline"},
             {U"li", U"", U"", "inline"},
             {U"text", U"", U"", "inline"},
             {U"p", U"", U"", "inline"},
             {U"svg", U"", U"", "-"}}},
           {U"ul :is(.a, li b):where(#c) { display: inline }",
            {{U"i", U"", U"c", "inline"}, {U"i", U"a", U"", "-"}, {U"b", U"", U"", "-"}}},
           {U"li:not(.x) { display: inline }", {{U"li", U"", U"", "inline"}, {U"p", U"x", U"", "-"}}},
           {U".a\\:b { display: inline }", {{U"p", U"a:b", U"", "inline"}}},
           {U"[hidden] { display: inline }", {{U"p", U"", U"", "inline"}}},
           {U":hover { white-space: pre }", {{U"p", U"", U"", "pre"}}},
           {U"li::slotted(b) { display: inline }", {{U"p", U"", U"", "inline"}}},
           {U"p { color: red }", {{U"p", U"", U"", "-"}}},
       })
    for (const Element& e : c.elements) {
      StyleRules rules;
      rules.add(c.css);
      EXPECT_EQ(named(rules.effectsOn(e.name, e.classes, e.id)), e.effects)
          << toUtf8(c.css) << " on " << toUtf8(e.name) << " class=" << toUtf8(e.classes) << " id=" << toUtf8(e.id);
    }
}

TEST(CssRules, ReadAtRulesAndNesting) {
  for (const RulesCase& c : std::initializer_list<RulesCase>{
           {U"@media screen { @supports (x:y) { li { display: inline } } } p { white-space: pre }",
            {{U"li", U"", U"", "inline"}, {U"p", U"", U"", "pre"}}},
           {U"@font-face { white-space: pre } @keyframes k { from { display: inline } } "
            U"@-webkit-keyframes k { 50% { display: inline } } @page { display: inline }",
            {{U"from", U"", U"", "-"}, {U"p", U"", U"", "-"}}},
           {U"@unknown x { em { display: inline } }", {{U"em", U"", U"", "inline"}, {U"p", U"", U"", "-"}}},
           {U"@scope (.card) { img { display: inline } white-space: pre }",
            {{U"img", U"", U"", "both"}, {U"p", U"", U"", "pre"}}},
           {U".menu { color: red; & li { display: inline } &.open { white-space: pre } }",
            {{U"li", U"", U"", "inline"}, {U"p", U"open", U"", "pre"}, {U"p", U"menu", U"", "-"}}},
           {U".menu { a & { display: inline } @media print { white-space: pre } }",
            {{U"p", U"menu", U"", "both"}, {U"a", U"", U"", "-"}}},
           {U".menu { :hover { display: inline } }", {{U"p", U"", U"", "inline"}}},
           {U"& { display: inline }", {{U"p", U"", U"", "inline"}}},
           // A stray "}" at the top joins the next prelude; its last compound still counts.
           {U"a{} } li { display: inline }", {{U"li", U"", U"", "inline"}, {U"p", U"", U"", "-"}}},
           {U"<!-- li { display: inline } -->", {{U"li", U"", U"", "inline"}, {U"p", U"", U"", "-"}}},
       })
    for (const Element& e : c.elements) {
      StyleRules rules;
      rules.add(c.css);
      EXPECT_EQ(named(rules.effectsOn(e.name, e.classes, e.id)), e.effects)
          << toUtf8(c.css) << " on " << toUtf8(e.name) << " class=" << toUtf8(e.classes);
    }
}

// A sheet cut short still counts what a browser would apply, and never less.
TEST(CssRules, BrokenSheetsKeepRatherThanDrop) {
  for (const RulesCase& c : std::initializer_list<RulesCase>{
           {U"li { display: inline", {{U"li", U"", U"", "inline"}}},
           {U"li { content: \"x\n; display: inline }", {{U"li", U"", U"", "inline"}}},
           {U"li { x: f(}); display: inline } p { white-space: pre }",  // "}" inside "( )" closes nothing
            {{U"li", U"", U"", "inline"}, {U"p", U"", U"", "pre"}}},
           {U"@media screen { li { white-space: pre }", {{U"li", U"", U"", "pre"}}},
           {U"li { display: inline /* }", {{U"li", U"", U"", "inline"}}},
           {U"li %x { display: inline }", {{U"p", U"", U"", "inline"}}},
       })
    for (const Element& e : c.elements) {
      StyleRules rules;
      rules.add(c.css);
      EXPECT_EQ(named(rules.effectsOn(e.name, e.classes, e.id)), e.effects)
          << toUtf8(c.css) << " on " << toUtf8(e.name);
    }
}

TEST(CssRules, ReturnImportsAndMergeSheets) {
  StyleRules first;
  EXPECT_TRUE(first.affectsNothing());
  const std::vector<Text> imports = first.add(
      U"@charset \"utf-8\"; @import url(\"a.css\") screen; @IMPORT url(b\\.css); @import 'c.css';"
      U" @media x { @import 'd.css'; } li { color: red }");
  EXPECT_EQ(imports, (std::vector<Text>{U"a.css", U"b.css", U"c.css"}));
  EXPECT_TRUE(first.affectsNothing());

  StyleRules second;
  second.add(U".x { white-space: pre }");
  first.add(U"li { display: inline }");
  first.merge(second);
  EXPECT_FALSE(first.affectsNothing());
  EXPECT_EQ(named(first.effectsOn(U"li", U"x", U"")), "both");
}

TEST(CssSpace, CollapsesRunsOutsideStringsAndComments) {
  struct Case {
    const char32_t* css;
    const char32_t* expected;
  };
  for (const Case& c : std::initializer_list<Case>{
           {U"p  {\r\n\tcontent:\"a    b\";  }\n", U"p { content:\"a    b\"; } "},
           {U"/*  keep\n  this  */\n\na", U"/*  keep\n  this  */ a"},
           {U".\\31  \t x", U".\\31  x"},  // the escape's own space stays, the run after it is one
           {U"a { b: url(  x.png  ) }", U"a { b: url(  x.png  ) }"},
           {U"'a\r\n  b", U"'a\r\nb"},  // the line break that ends a broken string stays
           {U"a\\\n\n b", U"a\\\nb"},   // and the one that keeps a backslash from escaping
           {U"a b", U"a b"},
           {U"", U""},
       }) {
    SlotText s{TextView(c.css)};
    collapseStyleSheetSpace(s);
    EXPECT_EQ(toUtf8(s), toUtf8(c.expected)) << toUtf8(c.css);
  }
}

}  // namespace
}  // namespace vantiro
