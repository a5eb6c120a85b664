#include "compress/script_minify.h"

#include <cstddef>
#include <vector>

#include "compress/script_chars.h"

namespace vantiro {
namespace {

enum class Token : unsigned char { None, Word, Punct, String, Template, Regex };

bool isSpaceChar(char32_t c) { return c == U' ' || isOtherWhiteSpace(c); }

// Punctuators nothing can join: white space beside them never shows.
bool isSeparator(char32_t c) {
  return c == U'{' || c == U'}' || c == U'(' || c == U')' || c == U'[' || c == U']' || c == U';' || c == U',' ||
         c == U':';
}

// One pass, reading at r_ and writing at w_: every token is copied as read
// and only white space and comments shrink, so w_ never passes r_.
class ScriptMinifier {
 public:
  explicit ScriptMinifier(SlotText& script) : d_(script.data()), n_(script.size()) {}

  std::size_t run() {
    while (r_ < n_) {
      const char32_t c = d_[r_];
      if (isSpaceChar(c)) {
        ++r_;
        pendingSpace_ = true;
      } else if (isLineTerminator(c)) {
        lineBreak(r_);
        r_ += (c == U'\r' && at(r_ + 1, U'\n')) ? 2 : 1;
        tokenOnLine_ = false;
      } else if (c == U'/' && at(r_ + 1, U'/')) {
        skipLine();
      } else if (c == U'/' && at(r_ + 1, U'*')) {
        if (at(r_ + 2, U'!') || at(r_ + 2, U'@'))
          keptComment();
        else
          blockComment();
      } else if (c == U'<' && at(r_ + 1, U'!') && at(r_ + 2, U'-') && at(r_ + 3, U'-')) {
        skipLine();
      } else if (c == U'-' && !tokenOnLine_ && at(r_ + 1, U'-') && at(r_ + 2, U'>')) {
        skipLine();
      } else {
        token();
      }
    }
    return w_;
  }

 private:
  bool at(std::size_t i, char32_t ch) const { return i < n_ && d_[i] == ch; }
  void copy() { d_[w_++] = d_[r_++]; }

  void lineBreak(std::size_t where) {
    if (!pendingLine_) lineBreakAt_ = where;
    pendingLine_ = true;
  }

  void skipLine() {
    while (r_ < n_ && !isLineTerminator(d_[r_])) ++r_;
    pendingSpace_ = true;
  }

  void blockComment() {
    const std::size_t from = r_;
    std::size_t e = r_ + 2;
    while (e < n_ && !(d_[e] == U'*' && at(e + 1, U'/'))) ++e;
    for (std::size_t k = from; k < e; ++k)
      if (isLineTerminator(d_[k])) {
        lineBreak(k);
        tokenOnLine_ = false;
        break;
      }
    r_ = e < n_ ? e + 2 : n_;
    pendingSpace_ = true;
  }

  // A comment a page keeps, copied as read. What it stands between reads on
  // as if it were white space: the token before it is still the last one.
  void keptComment() {
    const Token before = last_;
    const char32_t beforeChar = lastChar_;
    separate(Token::Punct, U'/');
    copy();
    copy();
    while (r_ < n_ && !(d_[r_] == U'*' && at(r_ + 1, U'/'))) copy();
    if (r_ < n_) {
      copy();
      copy();
    }
    last_ = before == Token::None ? Token::Punct : before;
    lastChar_ = before == Token::None ? U';' : beforeChar;
  }

  // Whether the last token written is a value, after which "/" divides.
  bool afterValue() const {
    switch (last_) {
      case Token::String:
      case Token::Template:
      case Token::Regex: return true;
      case Token::Punct: return lastChar_ == U')' || lastChar_ == U']';
      case Token::Word: {
        const TextView word(d_ + lastWordAt_, w_ - lastWordAt_);
        const bool number = word[0] >= U'0' && word[0] <= U'9';
        const bool property = lastWordAt_ > 0 && d_[lastWordAt_ - 1] == U'.';
        return number || property || !isKeywordBeforeExpression(word);
      }
      default: return false;
    }
  }

  // What separates the last token written from the next one, which is of
  // `next` kind and starts with `first`.
  void separate(Token next, char32_t first) {
    if (w_ == 0 || last_ == Token::None) {
      pendingLine_ = pendingSpace_ = false;
      return;
    }
    if (pendingLine_ && !lineBreakGoes(first)) {
      d_[w_++] = d_[lineBreakAt_];
      if (d_[lineBreakAt_] == U'\r' && lineBreakAt_ + 1 < n_ && d_[lineBreakAt_ + 1] == U'\n') d_[w_++] = U'\n';
    } else if ((pendingSpace_ || pendingLine_) && needsSpace(next, first)) {
      d_[w_++] = U' ';
    }
    pendingLine_ = pendingSpace_ = false;
  }

  // A line break matters only where a statement may end before it: after a
  // value or a name, or "++" and "--".
  bool lineBreakGoes(char32_t next) const {
    if (next == U'}' || next == U')' || next == U']' || next == U',' || next == U';') return true;
    if (last_ != Token::Punct) return false;
    return lastChar_ != U')' && lastChar_ != U']' && lastChar_ != U'}' && lastChar_ != U'+' && lastChar_ != U'-';
  }

  bool needsSpace(Token next, char32_t first) const {
    switch (last_) {
      case Token::Word:
        if (next == Token::Word) return true;
        return first == U'.' && d_[lastWordAt_] >= U'0' && d_[lastWordAt_] <= U'9';
      case Token::Regex: return next == Token::Word;
      case Token::Punct:
        if (isSeparator(lastChar_)) return false;
        if (next == Token::Punct) return !isSeparator(first);
        return (next == Token::Regex && (lastChar_ == U'/' || lastChar_ == U'<'));
      default: return false;
    }
  }

  void token() {
    const char32_t c = d_[r_];
    if (isWordChar(c)) {
      separate(Token::Word, c);
      lastWordAt_ = w_;
      while (r_ < n_ && isWordChar(d_[r_])) copy();
      finish(Token::Word);
    } else if (c == U'\'' || c == U'"') {
      separate(Token::String, c);
      stringLiteral(c);
      finish(Token::String);
    } else if (c == U'`') {
      separate(Token::Template, c);
      copy();
      templateText();
    } else if (c == U'/' && !afterValue()) {
      separate(Token::Regex, c);
      regexLiteral();
      finish(Token::Regex);
    } else {
      separate(Token::Punct, c);
      copy();
      finish(Token::Punct);
      lastChar_ = c;
      if (c == U'{' && !openBraces_.empty()) ++openBraces_.back();
      if (c == U'}' && !openBraces_.empty()) {
        if (openBraces_.back() != 0) {
          --openBraces_.back();
        } else {
          openBraces_.pop_back();
          templateText();
        }
      }
    }
  }

  void finish(Token t) {
    last_ = t;
    tokenOnLine_ = true;
  }

  void stringLiteral(char32_t quote) { copyTo(stringLiteralEnd(TextView(d_, n_), r_, quote).end); }

  // The literal and its flags.
  void regexLiteral() {
    const LiteralEnd literal = regexLiteralEnd(TextView(d_, n_), r_);
    copyTo(literal.end);
    if (literal.closed)
      while (r_ < n_ && isWordChar(d_[r_])) copy();
  }

  void copyTo(std::size_t end) {
    while (r_ < end) copy();
  }

  // Template text after "`" or the "}" closing a ${: up to its "`", or to
  // the next "${", whose code is read on as code.
  void templateText() {
    while (r_ < n_) {
      const char32_t c = d_[r_];
      copy();
      if (c == U'`') {
        finish(Token::Template);
        return;
      }
      if (c == U'\\') {
        if (r_ < n_) copy();
      } else if (c == U'$' && at(r_, U'{')) {
        copy();
        openBraces_.push_back(0);
        finish(Token::Punct);
        lastChar_ = U'{';
        return;
      }
    }
    finish(Token::Template);
  }

  char32_t* const d_;
  const std::size_t n_;
  std::size_t r_ = 0, w_ = 0;
  Token last_ = Token::None;
  char32_t lastChar_ = 0;        // the last punctuator written
  std::size_t lastWordAt_ = 0;   // where the last name or number was written
  bool pendingSpace_ = false;    // white space or a comment since the last token
  bool pendingLine_ = false;     // ... holding a line break, first at lineBreakAt_
  std::size_t lineBreakAt_ = 0;
  bool tokenOnLine_ = false;     // a token since the last line break: "-->" is no comment
  // For each ${ still open, innermost last: the braces of its code still open.
  std::vector<std::size_t> openBraces_;
};

}  // namespace

void minifyScript(SlotText& script, LineBreak) { script.resize(ScriptMinifier(script).run()); }

}  // namespace vantiro
