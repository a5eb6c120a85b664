#include "compress/css_minify.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "compress/css_tokens.h"

namespace vantiro {
namespace {

using K = CssTokenKind;

// What a token belongs to, which decides what white space beside it means.
enum class Part : std::uint8_t {
  Other,        // an at-rule's prelude, or anything not judged: white space stays one space
  Selector,     // a style rule's selector outside brackets: combinators need no space
  Declaration,  // property: value
  Custom,       // a custom property's declaration: kept as written
};

struct Token {
  K kind;
  Part part;
  std::size_t begin, end;
};

bool isSpace(K k) { return k == K::Whitespace || k == K::Comment; }

bool opensGroup(K k) { return k == K::Function || k == K::OpenParen || k == K::OpenSquare; }
bool closesGroup(K k) { return k == K::CloseParen || k == K::CloseSquare; }

// Where no white space is needed on either side.
bool isPunctuation(K k) { return k == K::OpenCurly || k == K::CloseCurly || k == K::Semicolon || k == K::Comma; }

class Minifier {
 public:
  Minifier(TextView css, bool declarations) : css_(css), declarations_(declarations) {
    CssTokenizer tokenizer(css);
    for (CssToken t = tokenizer.next(); t.kind != K::End; t = tokenizer.next())
      tokens_.push_back({t.kind, Part::Other, t.begin, t.end});
    assignParts(declarations ? 1 : 0);
  }

  // Writes the result to `out`, which may be the sheet itself: the result is
  // never longer, and each token is read before it is written over.
  std::size_t writeTo(char32_t* out) {
    std::size_t w = 0;
    bool pendingSpace = false, pendingComment = false;
    std::size_t spaceAt = 0;  // the first white space token of the pending run
    const Token* last = nullptr;
    for (std::size_t n = 0; n < tokens_.size(); ++n) {
      const Token& t = tokens_[n];
      if (t.part == Part::Custom) {
        // As written, from the property name to its end.
        if (pendingSpace && last != nullptr && !isPunctuation(last->kind) && last->part != Part::Custom)
          out[w++] = U' ';
        pendingSpace = pendingComment = false;
      } else if (t.kind == K::Whitespace) {
        if (!pendingSpace) spaceAt = t.begin;
        pendingSpace = true;
        continue;
      } else if (t.kind == K::Comment) {
        pendingComment = true;
        continue;
      }
      if (t.kind == K::Semicolon && t.part != Part::Custom &&
          (nextKind(n) == K::CloseCurly || (declarations_ && nextKind(n) == K::End))) {
        // Nothing after it in its block: a browser reads no more declarations there.
        continue;
      }
      if (last != nullptr) {
        if (pendingSpace && spaceShows(*last, t)) {
          w = writeSpace(out, w, *last, spaceAt);
        } else if (!pendingSpace && pendingComment && wouldJoin(last->kind, t.kind)) {
          for (char32_t c : TextView(U"/**/")) out[w++] = c;
        }
      }
      pendingSpace = pendingComment = false;
      const std::size_t length = t.end - t.begin;
      if (out + w != css_.data() + t.begin) std::copy_n(css_.data() + t.begin, length, out + w);
      w += length;
      last = &t;
    }
    return w;
  }

 private:
  char32_t first(const Token& t) const { return css_[t.begin]; }
  bool isDelim(const Token& t, char32_t c) const { return t.kind == K::Delim && first(t) == c; }

  K nextKind(std::size_t n) const {
    for (++n; n < tokens_.size(); ++n)
      if (!isSpace(tokens_[n].kind)) return tokens_[n].kind;
    return K::End;
  }

  // Whether white space between `a` and `b` is read as anything.
  bool spaceShows(const Token& a, const Token& b) const {
    if (a.kind == K::BadString || isDelim(a, U'\\')) return true;  // ended by the line break
    if (isPunctuation(a.kind) || isPunctuation(b.kind) || opensGroup(a.kind) || closesGroup(b.kind)) return false;
    if (a.part == Part::Declaration && b.part == Part::Declaration) {
      if (a.kind == K::Colon || b.kind == K::Colon || isDelim(a, U'!') || isDelim(b, U'!')) return false;
    }
    if (a.part == Part::Selector && b.part == Part::Selector) {
      for (char32_t c : {U'>', U'+', U'~'})
        if (isDelim(a, c) || isDelim(b, c)) return false;
    }
    return true;
  }

  // One space, or the line break a broken string or lone backslash needs.
  std::size_t writeSpace(char32_t* out, std::size_t w, const Token& before, std::size_t spaceAt) const {
    if (before.kind != K::BadString && !isDelim(before, U'\\')) {
      out[w++] = U' ';
      return w;
    }
    out[w++] = css_[spaceAt];
    if (css_[spaceAt] == U'\r' && spaceAt + 1 < css_.size() && css_[spaceAt + 1] == U'\n') out[w++] = U'\n';
    return w;
  }

  // Whether `a` and `b` written side by side could read as other tokens.
  static bool wouldJoin(K a, K b) {
    const auto apart = [](K k) {
      return k == K::Colon || k == K::Semicolon || k == K::Comma || k == K::OpenSquare || k == K::CloseSquare ||
             k == K::CloseParen || k == K::OpenCurly || k == K::CloseCurly || k == K::String;
    };
    if (apart(a) || apart(b)) return false;
    return !(a == K::OpenParen || a == K::Function || a == K::Url);
  }

  // Marks every token with the part of the sheet it belongs to. `depth` is
  // the block depth the text starts at: 1 for a declaration list.
  void assignParts(int depth) {
    int groups = 0;  // open (, [ and functions
    bool statementStart = true;
    Part part = Part::Other;
    int customCurly = 0;  // { } inside a custom property's value
    for (std::size_t n = 0; n < tokens_.size(); ++n) {
      Token& t = tokens_[n];
      if (statementStart && !isSpace(t.kind)) {
        statementStart = false;
        part = partOfStatement(n, depth);
        customCurly = 0;
      }
      if (part == Part::Custom) {
        if (t.kind == K::OpenCurly) ++customCurly;
        const bool ends = customCurly == 0 && groups == 0 && (t.kind == K::Semicolon || t.kind == K::CloseCurly);
        if (t.kind == K::CloseCurly && customCurly > 0) --customCurly;
        if (!ends) {
          t.part = Part::Custom;
          if (opensGroup(t.kind)) ++groups;
          if (closesGroup(t.kind) && groups > 0) --groups;
          continue;
        }
        part = Part::Other;
      }
      t.part = (part == Part::Selector && groups > 0) ? Part::Other : part;
      if (opensGroup(t.kind)) ++groups;
      if (closesGroup(t.kind) && groups > 0) --groups;
      if (t.kind == K::OpenCurly || t.kind == K::CloseCurly) {
        depth += t.kind == K::OpenCurly ? 1 : -1;
        depth = std::max(depth, 0);
        groups = 0;
        statementStart = true;
        part = Part::Other;
      } else if (t.kind == K::Semicolon && groups == 0) {
        statementStart = true;
        part = Part::Other;
      }
    }
  }

  // What the statement starting at token n is: at the top level a rule's
  // prelude; inside a block a declaration unless a "{" comes before its end.
  Part partOfStatement(std::size_t n, int depth) const {
    const Token& t = tokens_[n];
    if (t.kind == K::AtKeyword) return Part::Other;
    const bool custom = t.kind == K::Ident && t.end - t.begin >= 2 && css_[t.begin] == U'-' && css_[t.begin + 1] == U'-';
    if (custom && depth > 0) return Part::Custom;
    int groups = 0;
    bool block = depth == 0;
    for (std::size_t k = n; k < tokens_.size() && !block; ++k) {
      const K kind = tokens_[k].kind;
      if (opensGroup(kind)) ++groups;
      if (closesGroup(kind) && groups > 0) --groups;
      if (groups > 0) continue;
      if (kind == K::OpenCurly) block = true;
      if (kind == K::Semicolon || kind == K::CloseCurly) break;
    }
    if (block) return Part::Selector;
    return t.kind == K::Ident ? Part::Declaration : Part::Other;
  }

  TextView css_;
  bool declarations_;  // a declaration list, where nothing follows the last ";"
  std::vector<Token> tokens_;
};

}  // namespace

void minifyStyleSheet(SlotText& css) {
  Minifier minifier(css.view(), false);
  css.resize(minifier.writeTo(css.data()));
}

void minifyDeclarations(Text& declarations) {
  Minifier minifier(declarations, true);
  declarations.resize(minifier.writeTo(declarations.data()));
}

}  // namespace vantiro
