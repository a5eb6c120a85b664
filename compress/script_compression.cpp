#include "compress/script_compression.h"

#include "compress/text_routines.h"

#include <array>
#include <cstddef>
#include <vector>

namespace vantiro {
namespace {

// What the last significant token was, as far as it decides whether a "/"
// after it divides (after a value) or starts a regular expression.
enum class LastToken { Value, Dot, Other };

bool isBrace(char32_t c) { return c == U'{' || c == U'}'; }

bool isLineTerminator(char32_t c) { return c == U'\n' || c == U'\r' || c == 0x2028 || c == 0x2029; }

// White space between tokens other than the space itself and line terminators.
bool isOtherWhiteSpace(char32_t c) {
  if (c < 0x80) return c == U'\t' || c == U'\v' || c == U'\f';
  return c == 0xA0 || c == 0xFEFF || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// A character of a name or a number; "\" for the \u escapes names may hold.
bool isWordChar(char32_t c) {
  if (c < 0x80)
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'_' ||
           c == U'$' || c == U'\\';
  return !isLineTerminator(c) && !isOtherWhiteSpace(c);
}

// Words after which an expression, and so a regular expression, may follow.
bool isKeywordBeforeExpression(TextView word) {
  static constexpr std::array<TextView, 14> kKeywords = {
      U"return", U"typeof", U"case", U"do",   U"else",  U"in",    U"of",
      U"new",    U"delete", U"void", U"throw", U"instanceof", U"yield", U"await"};
  if (word.size() > 10 || word[0] < U'a' || word[0] > U'z') return false;
  for (TextView k : kKeywords)
    if (word == k) return true;
  return false;
}

// One pass over the script, reading at r_ and writing at w_. Only spaces are
// ever dropped, so w_ never passes r_ and nothing unread is overwritten.
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
    while (r_ < n_) code();
    return w_;
  }

 private:
  void copy() { d_[w_++] = d_[r_++]; }
  bool at(std::size_t i, char32_t c) const { return i < n_ && d_[i] == c; }

  bool pageBreakAt(std::size_t i) const {
    if (lineBreak_ == LineBreak::Lf) return d_[i] == U'\n';
    return d_[i] == U'\r' && at(i + 1, U'\n');
  }
  // Whether the output so far ends a line: only spaces of code and comments
  // are ever written at a line start after a page line break there.
  bool atLineStart() const {
    if (w_ == 0) return true;
    if (lineBreak_ == LineBreak::Lf) return d_[w_ - 1] == U'\n';
    return w_ >= 2 && d_[w_ - 2] == U'\r' && d_[w_ - 1] == U'\n';
  }

  // A run of spaces in code or a comment.
  void spaces() {
    std::size_t e = r_;
    while (e < n_ && d_[e] == U' ') ++e;
    const bool drop = atLineStart() || e == n_ || pageBreakAt(e) || (braceSpacesGo_ && (afterBrace_ || isBrace(d_[e])));
    if (drop)
      r_ = e;
    else
      while (r_ < e) copy();
  }

  // One token of code, or the white space before one.
  void code() {
    const char32_t c = d_[r_];
    if (c == U' ') return spaces();
    if (isBrace(c)) return brace();
    afterBrace_ = false;
    if (isLineTerminator(c) || isOtherWhiteSpace(c)) {
      if (isLineTerminator(c)) tokenOnLine_ = false;
      return copy();
    }
    if (isWordChar(c)) return word();
    if (c == U'/') {
      if (at(r_ + 1, U'/')) return lineComment();
      if (at(r_ + 1, U'*')) return blockComment();
    }
    if (c == U'<' && at(r_ + 1, U'!') && at(r_ + 2, U'-') && at(r_ + 3, U'-')) return lineComment();
    if (c == U'-' && !tokenOnLine_ && at(r_ + 1, U'-') && at(r_ + 2, U'>')) return lineComment();
    tokenOnLine_ = true;
    if (c == U'\'' || c == U'"') {
      stringLiteral(c);
      last_ = LastToken::Value;
    } else if (c == U'`') {
      copy();
      templateText();
    } else if (c == U'/' && last_ != LastToken::Value) {
      regexLiteral();
      last_ = LastToken::Other;
    } else {
      copy();
      last_ = c == U')' || c == U']' ? LastToken::Value : c == U'.' ? LastToken::Dot : LastToken::Other;
    }
  }

  void brace() {
    tokenOnLine_ = true;
    last_ = LastToken::Other;  // after "}" a block or an object ends: a doubt, so a regular expression
    afterBrace_ = true;
    if (!openBraces_.empty()) {
      if (d_[r_] == U'{') {
        ++openBraces_.back();
      } else if (openBraces_.back() == 0) {
        openBraces_.pop_back();
        copy();
        return templateText();
      } else {
        --openBraces_.back();
      }
    }
    copy();
  }

  void word() {
    const std::size_t b = r_;
    while (r_ < n_ && isWordChar(d_[r_])) copy();
    const TextView w(d_ + w_ - (r_ - b), r_ - b);
    const bool keyword = last_ != LastToken::Dot && isKeywordBeforeExpression(w);  // "a.return" is a name
    last_ = keyword ? LastToken::Other : LastToken::Value;
    tokenOnLine_ = true;
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
        afterBrace_ = false;
        return;
      }
      commentChar();
    }
  }

  void commentChar() {
    if (d_[r_] == U' ') return spaces();
    afterBrace_ = isBrace(d_[r_]);
    copy();
  }

  // A string ends at its quote, or unterminated before a line break; a
  // backslash takes the next character, or a line break (CR LF included).
  void stringLiteral(char32_t quote) {
    copy();
    while (r_ < n_) {
      const char32_t c = d_[r_];
      if (c == U'\n' || c == U'\r') return;
      copy();
      if (c == quote) return;
      if (c == U'\\' && r_ < n_) {
        const bool crLf = d_[r_] == U'\r' && at(r_ + 1, U'\n');
        copy();
        if (crLf) copy();
      }
    }
  }

  // From the "/" to the one that ends it outside a class, or to a line
  // terminator, which the literal cannot hold.
  void regexLiteral() {
    copy();
    bool inClass = false;
    while (r_ < n_) {
      const char32_t c = d_[r_];
      if (isLineTerminator(c)) return;
      copy();
      if (c == U'\\') {
        if (r_ < n_ && !isLineTerminator(d_[r_])) copy();
      } else if (c == U'[') {
        inClass = true;
      } else if (c == U']') {
        inClass = false;
      } else if (c == U'/' && !inClass) {
        return;
      }
    }
  }

  // The text of a template after its "`" or a "}" that closes a ${, up to its
  // "`" or the next "${", whose code the caller reads on.
  void templateText() {
    afterBrace_ = false;
    while (r_ < n_) {
      const char32_t c = d_[r_];
      copy();
      if (c == U'`') {
        last_ = LastToken::Value;
        return;
      }
      if (c == U'\\') {
        if (r_ < n_) copy();
      } else if (c == U'$' && at(r_, U'{')) {
        copy();
        openBraces_.push_back(0);
        last_ = LastToken::Other;
        afterBrace_ = true;
        return;
      }
    }
  }

  char32_t* const d_;
  const std::size_t n_;
  const LineBreak lineBreak_;
  const bool braceSpacesGo_;
  std::size_t r_ = 0, w_ = 0;
  LastToken last_ = LastToken::Other;
  bool afterBrace_ = false;
  bool tokenOnLine_ = false;  // a token stands on this line before r_: "-->" is no comment
  // For each ${ still open, innermost last: the braces of its code still open.
  std::vector<std::size_t> openBraces_;
};

// The type without white space around it and without parameters.
TextView mimeEssence(TextView type) {
  const auto space = [](char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\f' || c == U'\r'; };
  type = type.substr(0, type.find(U';'));
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

void compressScript(SlotText& script, LineBreak lineBreak) {
  script.resize(ScriptCompressor(script, lineBreak).run());
}

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
  const TextView essence = mimeEssence(typeText);
  for (TextView known : kJavaScriptTypes)
    if (equalsIgnoringAsciiCase(essence, known)) return true;
  return false;
}

}  // namespace vantiro
