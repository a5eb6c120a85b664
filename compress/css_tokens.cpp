#include "compress/css_tokens.h"

namespace vantiro {
namespace {

// CssTokenizer::kPastEnd, which no test below accepts.
constexpr char32_t kEnd = 0xFFFFFFFF;
constexpr char32_t kReplacement = 0xFFFD;

bool isNewline(char32_t c) { return c == U'\n' || c == U'\r' || c == U'\f'; }
bool isWhitespace(char32_t c) { return c == U' ' || c == U'\t' || isNewline(c); }
bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool isHexDigit(char32_t c) { return isDigit(c) || (c >= U'a' && c <= U'f') || (c >= U'A' && c <= U'F'); }
bool isLetter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }
// NUL counts: a browser reads it as U+FFFD, a non-ASCII character.
bool isIdentStart(char32_t c) { return isLetter(c) || c == U'_' || (c >= 0x80 && c != kEnd) || c == 0; }
bool isIdentChar(char32_t c) { return isIdentStart(c) || isDigit(c) || c == U'-'; }
// An ident character that goes into the value as it is.
bool isPlainIdentChar(char32_t c) { return c != 0 && isIdentChar(c); }
bool isNonPrintable(char32_t c) { return (c >= 1 && c <= 8) || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F; }

int hexValue(char32_t c) {
  if (isDigit(c)) return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
  return static_cast<int>(c - U'A') + 10;
}

}  // namespace

bool isCssWord(TextView text, TextView lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    char32_t c = text[k];
    if (c >= U'A' && c <= U'Z') c += 32;
    if (c != lower[k]) return false;
  }
  return true;
}

bool CssTokenizer::isValidEscape(std::size_t i) const { return at(i) == U'\\' && !isNewline(at(i + 1)); }

bool CssTokenizer::startsIdent(std::size_t i) const {
  const char32_t c = at(i);
  if (c == U'-') return isIdentStart(at(i + 1)) || at(i + 1) == U'-' || isValidEscape(i + 1);
  if (c == U'\\') return isValidEscape(i);
  return isIdentStart(c);
}

bool CssTokenizer::startsNumber(std::size_t i) const {
  const char32_t c = at(i);
  if (c == U'+' || c == U'-') return isDigit(at(i + 1)) || (at(i + 1) == U'.' && isDigit(at(i + 2)));
  if (c == U'.') return isDigit(at(i + 1));
  return isDigit(c);
}

void CssTokenizer::startValue() {
  valueBegin_ = valueEnd_ = pos_;
  unescaped_ = nullptr;
}

void CssTokenizer::keep(std::size_t from, std::size_t to) {
  if (!unescaped_ && from == valueEnd_) {
    valueEnd_ = to;
    return;
  }
  if (!unescaped_) unescaped_ = &copies_.emplace_back(css_.substr(valueBegin_, valueEnd_ - valueBegin_));
  unescaped_->append(css_.substr(from, to - from));
}

void CssTokenizer::add(char32_t c) {
  if (!unescaped_) unescaped_ = &copies_.emplace_back(css_.substr(valueBegin_, valueEnd_ - valueBegin_));
  unescaped_->push_back(c);
}

TextView CssTokenizer::value() {
  return unescaped_ ? TextView(*unescaped_) : css_.substr(valueBegin_, valueEnd_ - valueBegin_);
}

// Reads the escape whose backslash is just before pos_.
char32_t CssTokenizer::escape() {
  if (!has(pos_)) return kReplacement;
  if (!isHexDigit(css_[pos_])) {
    const char32_t c = css_[pos_++];
    return c == 0 ? kReplacement : c;
  }
  char32_t code = 0;
  for (int digits = 0; digits < 6 && isHexDigit(at(pos_)); ++digits) code = code * 16 + hexValue(css_[pos_++]);
  if (at(pos_) == U'\r' && at(pos_ + 1) == U'\n') {
    pos_ += 2;
  } else if (isWhitespace(at(pos_))) {
    ++pos_;
  }
  if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return kReplacement;
  return code;
}

TextView CssTokenizer::name() {
  startValue();
  for (;;) {
    std::size_t run = pos_;
    while (run < css_.size() && isPlainIdentChar(css_[run])) ++run;
    keep(pos_, run);
    pos_ = run;
    if (has(pos_) && css_[pos_] == 0) {
      add(kReplacement);
      ++pos_;
    } else if (isValidEscape(pos_)) {
      ++pos_;
      add(escape());
    } else {
      return value();
    }
  }
}

CssToken CssTokenizer::commentToken(std::size_t begin) {
  const std::size_t close = css_.find(U"*/", begin + 2);
  pos_ = close == npos ? css_.size() : close + 2;
  return {CssTokenKind::Comment, begin, pos_, {}};
}

CssToken CssTokenizer::whitespaceToken(std::size_t begin) {
  while (has(pos_) && isWhitespace(css_[pos_])) ++pos_;
  return {CssTokenKind::Whitespace, begin, pos_, {}};
}

CssToken CssTokenizer::stringToken(std::size_t begin, char32_t quote) {
  ++pos_;
  startValue();
  for (;;) {
    std::size_t run = pos_;
    while (run < css_.size()) {
      const char32_t c = css_[run];
      if (c == quote || c == U'\\' || c == 0 || isNewline(c)) break;
      ++run;
    }
    keep(pos_, run);
    pos_ = run;
    if (!has(pos_)) return {CssTokenKind::String, begin, pos_, value()};  // unclosed at the end: still a string
    const char32_t c = css_[pos_];
    if (c == quote) {
      ++pos_;
      return {CssTokenKind::String, begin, pos_, value()};
    }
    if (isNewline(c)) return {CssTokenKind::BadString, begin, pos_, value()};
    if (c == 0) {
      add(kReplacement);
      ++pos_;
      continue;
    }
    ++pos_;  // the backslash
    if (!has(pos_)) continue;
    if (css_[pos_] == U'\r' && at(pos_ + 1) == U'\n') {
      pos_ += 2;  // an escaped line break joins the lines
    } else if (isNewline(css_[pos_])) {
      ++pos_;
    } else {
      add(escape());
    }
  }
}

CssToken CssTokenizer::numericToken(std::size_t begin) {
  if (at(pos_) == U'+' || at(pos_) == U'-') ++pos_;
  while (isDigit(at(pos_))) ++pos_;
  if (at(pos_) == U'.' && isDigit(at(pos_ + 1))) {
    ++pos_;
    while (isDigit(at(pos_))) ++pos_;
  }
  const char32_t e = at(pos_);
  if (e == U'e' || e == U'E') {
    const char32_t sign = at(pos_ + 1);
    const std::size_t digit = (sign == U'+' || sign == U'-') ? pos_ + 2 : pos_ + 1;
    if (isDigit(at(digit))) {
      pos_ = digit;
      while (isDigit(at(pos_))) ++pos_;
    }
  }
  if (startsIdent(pos_)) {
    name();
    return {CssTokenKind::Dimension, begin, pos_, {}};
  }
  if (at(pos_) == U'%') {
    ++pos_;
    return {CssTokenKind::Percentage, begin, pos_, {}};
  }
  return {CssTokenKind::Number, begin, pos_, {}};
}

CssToken CssTokenizer::identLikeToken(std::size_t begin) {
  const TextView ident = name();
  if (at(pos_) != U'(') return {CssTokenKind::Ident, begin, pos_, ident};
  ++pos_;
  if (!isCssWord(ident, U"url")) return {CssTokenKind::Function, begin, pos_, ident};
  while (isWhitespace(at(pos_)) && isWhitespace(at(pos_ + 1))) ++pos_;
  const char32_t c = at(pos_);
  const char32_t afterSpace = isWhitespace(c) ? at(pos_ + 1) : c;
  if (afterSpace == U'"' || afterSpace == U'\'') return {CssTokenKind::Function, begin, pos_, ident};
  return urlToken(begin);
}

CssToken CssTokenizer::urlToken(std::size_t begin) {
  while (isWhitespace(at(pos_))) ++pos_;
  startValue();
  for (;;) {
    std::size_t run = pos_;
    while (run < css_.size()) {
      const char32_t c = css_[run];
      if (c == U')' || c == U'\\' || c == U'"' || c == U'\'' || c == U'(' || c == 0 || isWhitespace(c) ||
          isNonPrintable(c))
        break;
      ++run;
    }
    keep(pos_, run);
    pos_ = run;
    if (!has(pos_)) return {CssTokenKind::Url, begin, pos_, value()};
    const char32_t c = css_[pos_];
    if (c == U')') {
      ++pos_;
      return {CssTokenKind::Url, begin, pos_, value()};
    }
    if (c == 0) {
      add(kReplacement);
      ++pos_;
      continue;
    }
    if (isWhitespace(c)) {
      while (isWhitespace(at(pos_))) ++pos_;
      if (!has(pos_)) return {CssTokenKind::Url, begin, pos_, value()};
      if (css_[pos_] == U')') {
        ++pos_;
        return {CssTokenKind::Url, begin, pos_, value()};
      }
    } else if (isValidEscape(pos_)) {
      ++pos_;
      add(escape());
      continue;
    }
    skipBadUrlRest();
    return {CssTokenKind::BadUrl, begin, pos_, {}};
  }
}

void CssTokenizer::skipBadUrlRest() {
  while (has(pos_)) {
    if (css_[pos_] == U')') {
      ++pos_;
      return;
    }
    if (isValidEscape(pos_)) {
      ++pos_;
      escape();
    } else {
      ++pos_;
    }
  }
}

CssToken CssTokenizer::next() {
  const std::size_t begin = pos_;
  if (!has(pos_)) return {CssTokenKind::End, begin, begin, {}};
  const char32_t c = css_[pos_];
  auto single = [&](CssTokenKind kind) {
    ++pos_;
    return CssToken{kind, begin, pos_, kind == CssTokenKind::Delim ? css_.substr(begin, 1) : TextView()};
  };
  switch (c) {
    case U' ':
    case U'\t':
    case U'\n':
    case U'\r':
    case U'\f':
      return whitespaceToken(begin);
    case U'"':
    case U'\'':
      return stringToken(begin, c);
    case U'/':
      return at(pos_ + 1) == U'*' ? commentToken(begin) : single(CssTokenKind::Delim);
    case U'#':
      if (isIdentChar(at(pos_ + 1)) || isValidEscape(pos_ + 1)) {
        ++pos_;
        const TextView hash = name();
        return {CssTokenKind::Hash, begin, pos_, hash};
      }
      return single(CssTokenKind::Delim);
    case U'(':
      return single(CssTokenKind::OpenParen);
    case U')':
      return single(CssTokenKind::CloseParen);
    case U'[':
      return single(CssTokenKind::OpenSquare);
    case U']':
      return single(CssTokenKind::CloseSquare);
    case U'{':
      return single(CssTokenKind::OpenCurly);
    case U'}':
      return single(CssTokenKind::CloseCurly);
    case U',':
      return single(CssTokenKind::Comma);
    case U':':
      return single(CssTokenKind::Colon);
    case U';':
      return single(CssTokenKind::Semicolon);
    case U'+':
    case U'.':
      return startsNumber(pos_) ? numericToken(begin) : single(CssTokenKind::Delim);
    case U'-':
      if (startsNumber(pos_)) return numericToken(begin);
      if (at(pos_ + 1) == U'-' && at(pos_ + 2) == U'>') {
        pos_ += 3;
        return {CssTokenKind::Cdc, begin, pos_, {}};
      }
      return startsIdent(pos_) ? identLikeToken(begin) : single(CssTokenKind::Delim);
    case U'<':
      if (at(pos_ + 1) == U'!' && at(pos_ + 2) == U'-' && at(pos_ + 3) == U'-') {
        pos_ += 4;
        return {CssTokenKind::Cdo, begin, pos_, {}};
      }
      return single(CssTokenKind::Delim);
    case U'@':
      if (startsIdent(pos_ + 1)) {
        ++pos_;
        const TextView keyword = name();
        return {CssTokenKind::AtKeyword, begin, pos_, keyword};
      }
      return single(CssTokenKind::Delim);
    case U'\\':
      return isValidEscape(pos_) ? identLikeToken(begin) : single(CssTokenKind::Delim);
    default:
      if (isDigit(c)) return numericToken(begin);
      if (isIdentStart(c)) return identLikeToken(begin);
      return single(CssTokenKind::Delim);
  }
}

}  // namespace vantiro
