#pragma once
// Cuts a style sheet into the items a browser reads one at a time: a rule's
// prelude up to its "{", an at-rule up to its ";" or "{", a declaration up to
// its ";". Brackets nest as in a browser, so a ";" or "}" inside "( )",
// "[ ]" or an inner "{ }" belongs to the item.

#include <cstdint>
#include <span>
#include <vector>

#include "compress/css_tokens.h"
#include "platform/text.h"

namespace vantiro {

// Where the reader stands; it decides which tokens end an item.
enum class CssContext : std::uint8_t {
  TopLevel,   // rules; ";" ends only an at-rule, "}" is part of the item
  RuleBlock,  // rules inside a block such as @media; "}" closes the block
  StyleBlock  // declarations and nested rules; ";" ends any item
};

enum class CssItemEnd : std::uint8_t { Semicolon, OpenCurly, CloseCurly, End };

class CssItemReader {
 public:
  explicit CssItemReader(TextView css) : tokens_(css) {}

  // Reads the next item; its tokens, without comments and leading white
  // space, are tokens() until the next call. After OpenCurly the caller reads
  // the block's items or skips it; CloseCurly closes the enclosing block.
  CssItemEnd read(CssContext context);
  std::span<const CssToken> tokens() const { return item_; }
  // Skips the rest of a block whose "{" was just read, through its "}".
  void skipBlock();

 private:
  CssTokenizer tokens_;
  std::vector<CssToken> item_;
  std::vector<CssTokenKind> closers_;  // the closing token each open bracket waits for
};

}  // namespace vantiro
