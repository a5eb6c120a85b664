#pragma once
// Splits a style sheet into the tokens a browser reads it as, so that the
// passes can tell selectors, declarations, strings and comments apart.
//
// The rules are those of CSS tokenization, read on the raw text: CR LF, CR and
// FF count as line breaks where they are found rather than being rewritten
// first, so every token's span is a span of the text as given. Unlike a
// browser, the tokenizer returns comments as tokens: the passes that rewrite a
// sheet must keep them where they are.

#include <cstddef>
#include <cstdint>
#include <deque>

#include "platform/text.h"

namespace vantiro {

enum class CssTokenKind : std::uint8_t {
  End,  // after the last character; empty span
  Comment,
  Whitespace,
  String,
  BadString,  // a string cut by an unescaped line break, which is not part of it
  Url,        // url( with an unquoted address
  BadUrl,
  Ident,
  Function,   // an ident followed by "("; the "(" is part of the span, not of the value
  AtKeyword,  // the value leaves out the "@"
  Hash,       // the value leaves out the "#"
  Number,
  Percentage,
  Dimension,
  Delim,  // any other single character; the value is that character
  Colon,
  Semicolon,
  Comma,
  OpenSquare,
  CloseSquare,
  OpenParen,
  CloseParen,
  OpenCurly,
  CloseCurly,
  Cdo,  // <!--
  Cdc,  // -->
};

struct CssToken {
  CssTokenKind kind = CssTokenKind::End;
  std::size_t begin = 0;  // span in the sheet: [begin, end)
  std::size_t end = 0;
  // The unescaped value of strings, urls, idents, functions, at-keywords,
  // hashes and delims; empty for the rest. It views the sheet itself unless
  // the token holds an escape or a NUL, and stays valid while both the sheet
  // and the tokenizer that made it live.
  TextView value;
};

// Whether `text` is `lower` (lower-case ASCII) in any letter case, as CSS
// compares property names, keywords and at-rule names.
bool isCssWord(TextView text, TextView lower);

// Reads one sheet a token at a time. Never throws (except for memory) and
// never reads outside the sheet, whatever the sheet holds.
class CssTokenizer {
 public:
  explicit CssTokenizer(TextView css) : css_(css) {}

  // The next token; at the end of the sheet, End again and again. Tokens
  // cover the sheet without gap or overlap, in order.
  CssToken next();

 private:
  // What at() gives past the end: no character of a sheet the program
  // decodes has this value, and no character test accepts it.
  static constexpr char32_t kPastEnd = 0xFFFFFFFF;
  char32_t at(std::size_t i) const { return i < css_.size() ? css_[i] : kPastEnd; }
  bool has(std::size_t i) const { return i < css_.size(); }
  bool isValidEscape(std::size_t i) const;
  bool startsIdent(std::size_t i) const;
  bool startsNumber(std::size_t i) const;

  // Each reads from pos_ and leaves pos_ after what it read.
  CssToken commentToken(std::size_t begin);
  CssToken whitespaceToken(std::size_t begin);
  CssToken stringToken(std::size_t begin, char32_t quote);
  CssToken numericToken(std::size_t begin);
  CssToken identLikeToken(std::size_t begin);
  CssToken urlToken(std::size_t begin);
  TextView name();
  char32_t escape();
  void skipBadUrlRest();

  // The value of the token being read: a view of the sheet until an escape
  // or NUL makes a copy necessary.
  void startValue();
  void keep(std::size_t from, std::size_t to);
  void add(char32_t c);
  TextView value();

  TextView css_;
  std::size_t pos_ = 0;
  std::size_t valueBegin_ = 0;
  std::size_t valueEnd_ = 0;
  Text* unescaped_ = nullptr;  // the copy being built, when one is needed
  // Copies of unescaped values; a deque never moves the ones it holds.
  std::deque<Text> copies_;
};

}  // namespace vantiro
