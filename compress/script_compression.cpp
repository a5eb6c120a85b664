#include "compress/script_compression.h"

#include "compress/script_chars.h"
#include "compress/text_routines.h"

#include <array>
#include <cstddef>
#include <vector>

namespace vantiro {
namespace {

bool isBrace(char32_t c) { return c == U'{' || c == U'}'; }

// The ASCII characters that begin anything but a plain piece of code: white
// space, braces, literals and comments. Every other one is copied as it is.
constexpr std::array<bool, 0x80> kStartsSomething = [] {
  std::array<bool, 0x80> table{};
  for (char32_t c : TextView(U" \t\v\f\n\r'\"`/{}<-")) table[c] = true;
  return table;
}();

bool isPlainCode(char32_t c) { return c < 0x80 ? !kStartsSomething[c] : isWordChar(c); }

// One pass over the script, reading at r_ and writing at w_. Only spaces are
// ever dropped, so w_ never passes r_ and nothing unread is overwritten.
//
// What came before is read back from the written text when it matters (a
// "/", a run of spaces), so plain code costs one look-up per character.
// Dropping spaces never joins two tokens: they go only next to a brace or a
// line break, which both stay.
class ScriptCompressor {
 public:
  ScriptCompressor(SlotText& script, LineBreak lineBreak)
      : d_(script.data()),
        n_(script.size()),
        lineBreak_(lineBreak),
        // Spaces go by braces only when the script holds both kinds anywhere,
        // literals included, as the program always has: a deliberate quirk.
        braceSpacesGo_(findChar(script, U'{') != npos && findChar(script, U'}') != npos) {}

  // The length of the compressed script.
  std::size_t run() {
    while (r_ < n_) {
      std::size_t e = r_;
      while (e < n_ && inPlainCode(e, r_)) ++e;
      if (e != r_) {
        if (w_ == r_)
          w_ = r_ = e;
        else
          while (r_ < e) copy();
        lastToken_ = w_ - 1;
        if (e == n_) break;
      }
      startOfSomething();
    }
    return w_;
  }

 private:
  void copy() { d_[w_++] = d_[r_++]; }
  bool at(std::size_t i, char32_t c) const { return i < n_ && d_[i] == c; }

  // Whether d_[i] continues a piece of plain code that starts at `start`,
  // which is copied as it is: a single space between two of its characters
  // stays, and "<" and "-" start a comment only before "!" and "-".
  bool inPlainCode(std::size_t i, std::size_t start) const {
    const char32_t c = d_[i];
    if (isPlainCode(c)) return true;
    if (c == U' ') return i > start && i + 1 < n_ && isPlainCode(d_[i + 1]);
    if (c == U'<') return !at(i + 1, U'!');
    if (c == U'-') return !at(i + 1, U'-');
    return false;
  }

  bool pageBreakAt(std::size_t i) const {
    if (lineBreak_ == LineBreak::Lf) return d_[i] == U'\n';
    return d_[i] == U'\r' && at(i + 1, U'\n');
  }
  // Whether the written text ends a line. Code and comments are all that a
  // run of spaces can stand in, and their line breaks are written as read.
  bool atLineStart() const {
    if (w_ == 0) return true;
    if (lineBreak_ == LineBreak::Lf) return d_[w_ - 1] == U'\n';
    return w_ >= 2 && d_[w_ - 2] == U'\r' && d_[w_ - 1] == U'\n';
  }
  // A written brace is one of code or a comment: every literal ends in its
  // closing character, or before a line break or the end of the script.
  bool afterBrace() const { return w_ > 0 && isBrace(d_[w_ - 1]); }

  // A run of spaces in code or a comment.
  void spaces() {
    std::size_t e = r_;
    while (e < n_ && d_[e] == U' ') ++e;
    const bool drop =
        atLineStart() || e == n_ || pageBreakAt(e) || (braceSpacesGo_ && (afterBrace() || isBrace(d_[e])));
    if (drop)
      r_ = e;
    else
      while (r_ < e) copy();
  }

  // Whether the last token written is a value, after which "/" divides: a
  // name other than a keyword, a number, a string, a template, ")" or "]".
  // A regular expression ends in "/" or in its flags, which read as a name.
  bool afterValue() const {
    if (lastToken_ == npos) return false;
    const std::size_t e = lastToken_ + 1;
    const char32_t c = d_[lastToken_];
    if (c == U')' || c == U']' || c == U'\'' || c == U'"' || c == U'`') return true;
    if (!isWordChar(c)) return false;
    std::size_t b = lastToken_;
    while (b > 0 && isWordChar(d_[b - 1])) --b;
    const bool number = d_[b] >= U'0' && d_[b] <= U'9';
    const bool property = b > 0 && d_[b - 1] == U'.';  // "a.return" is a name
    return number || property || !isKeywordBeforeExpression(TextView(d_ + b, e - b));
  }

  // Whether a token stands on this line before r_: "-->" starts a comment
  // only where none does.
  bool tokenOnLine() const { return lastToken_ != npos && lastToken_ >= lineStart_; }

  void startOfSomething() {
    const char32_t c = d_[r_];
    switch (c) {
      case U' ':
        return spaces();
      case U'{':
      case U'}':
        return brace();
      case U'\'':
      case U'"':
        stringLiteral(c);
        break;
      case U'`':
        copy();
        templateText();
        break;
      case U'/':
        if (at(r_ + 1, U'/')) return lineComment();
        if (at(r_ + 1, U'*')) return blockComment();
        if (afterValue())
          copy();
        else
          regexLiteral();
        break;
      case U'<':
        if (at(r_ + 1, U'!') && at(r_ + 2, U'-') && at(r_ + 3, U'-')) return lineComment();
        copy();
        break;
      case U'-':
        if (!tokenOnLine() && at(r_ + 1, U'-') && at(r_ + 2, U'>')) return lineComment();
        copy();
        break;
      default:
        copy();
        if (isLineTerminator(c)) lineStart_ = w_;
        return;  // white space
    }
    lastToken_ = w_ - 1;
  }

  void brace() {
    const bool opens = d_[r_] == U'{';
    copy();
    lastToken_ = w_ - 1;  // after "}" a block or an object ends: a doubt, so a regular expression
    if (openBraces_.empty()) return;
    if (opens) {
      ++openBraces_.back();
    } else if (openBraces_.back() != 0) {
      --openBraces_.back();
    } else {
      openBraces_.pop_back();
      templateText();
      lastToken_ = w_ - 1;
    }
  }

  // Up to the line terminator, which stays code. Spaces go as in code.
  void lineComment() {
    while (r_ < n_ && !isLineTerminator(d_[r_])) commentChar();
  }

  void blockComment() {
    copy();
    copy();
    while (r_ < n_) {
      if (d_[r_] == U'*' && at(r_ + 1, U'/')) {
        copy();
        copy();
        return;
      }
      commentChar();
    }
  }

  void commentChar() {
    if (d_[r_] == U' ')
      spaces();
    else
      copy();
  }

  // Literals are copied as they are (script_chars.h says where they end).
  void stringLiteral(char32_t quote) { copyTo(stringLiteralEnd(TextView(d_, n_), r_, quote).end); }
  void regexLiteral() { copyTo(regexLiteralEnd(TextView(d_, n_), r_).end); }
  void copyTo(std::size_t end) {
    while (r_ < end) copy();
  }

  // The text of a template after its "`" or a "}" that closes a ${, up to its
  // "`" or the next "${", whose code the caller reads on.
  void templateText() {
    while (r_ < n_) {
      const char32_t c = d_[r_];
      copy();
      if (c == U'`') return;
      if (c == U'\\') {
        if (r_ < n_) copy();
      } else if (c == U'$' && at(r_, U'{')) {
        copy();
        openBraces_.push_back(0);
        return;
      }
    }
  }

  char32_t* const d_;
  const std::size_t n_;
  const LineBreak lineBreak_;
  const bool braceSpacesGo_;
  std::size_t r_ = 0, w_ = 0;
  std::size_t lastToken_ = npos;  // where the last character of a token was written
  std::size_t lineStart_ = 0;     // where the current line of code was written
  // For each ${ still open, innermost last: the braces of its code still open.
  std::vector<std::size_t> openBraces_;
};

// The type without white space around it. Parameters stay: a browser runs
// "text/javascript; charset=utf-8" as no script, so it is data to keep.
TextView strippedType(TextView type) {
  const auto space = [](char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\f' || c == U'\r'; };
  while (!type.empty() && space(type.front())) type.remove_prefix(1);
  while (!type.empty() && space(type.back())) type.remove_suffix(1);
  return type;
}

bool equalsIgnoringAsciiCase(TextView a, TextView lower) {
  if (a.size() != lower.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if ((a[k] >= U'A' && a[k] <= U'Z' ? a[k] + 32 : a[k]) != lower[k]) return false;
  return true;
}

}  // namespace

void compressScript(SlotText& script, LineBreak lineBreak) { script.resize(ScriptCompressor(script, lineBreak).run()); }

bool isJavaScriptType(std::optional<TextView> type, std::optional<TextView> language) {
  static constexpr std::array<TextView, 17> kJavaScriptTypes = {
      U"module",
      U"text/javascript",
      U"application/javascript",
      U"text/ecmascript",
      U"application/ecmascript",
      U"application/x-javascript",
      U"application/x-ecmascript",
      U"text/jscript",
      U"text/livescript",
      U"text/x-javascript",
      U"text/x-ecmascript",
      U"text/javascript1.0",
      U"text/javascript1.1",
      U"text/javascript1.2",
      U"text/javascript1.3",
      U"text/javascript1.4",
      U"text/javascript1.5",
  };
  if (type ? type->empty() : !language || language->empty()) return true;
  const Text typeText = type ? Text(*type) : U"text/" + Text(*language);
  const TextView essence = strippedType(typeText);
  for (TextView known : kJavaScriptTypes)
    if (equalsIgnoringAsciiCase(essence, known)) return true;
  return false;
}

}  // namespace vantiro
