#pragma once
// The page cutter of PieceReader (General variant) for a page that comes a
// block at a time: what it cuts is handed on as it is met, so that no piece
// is held whole, however long.

#include "platform/text.h"

#include <cstddef>

namespace vantiro {

// What the cutter meets, in the page's order. Texts and tags come in chunks
// that may be cut anywhere; a chunk is valid for the call only.
class PieceSink {
 public:
  virtual ~PieceSink() = default;
  // The page text before the first tag.
  virtual void head(TextView chunk) = 0;
  // A tag begins (and the text before it ends).
  virtual void tagBegins() = 0;
  // The tag between "<" and ">", trimmed of spaces as PieceReader trims it.
  virtual void tag(TextView chunk) = 0;
  // The tag's ">": `script` when the tag is a script's start (isScriptTag).
  virtual void tagEnds(bool script) = 0;
  // The text after the last tag's ">".
  virtual void text(TextView chunk) = 0;
};

class PieceStream {
 public:
  explicit PieceStream(PieceSink& sink) : sink_(sink) {}
  // The next block of the page.
  void feed(TextView block);
  // The end of the page. Throws PageError, as PieceReader does, when a tag
  // has no ">". The text given last, if a tag came before it, is the page's tail.
  void finish();

 private:
  enum class State { Head, Tag, Text, Script };

  std::size_t scanText(TextView block, std::size_t from);
  std::size_t scanTag(TextView block, std::size_t from);
  std::size_t scanScript(TextView block, std::size_t from);
  void putText(TextView chunk);
  void beginTag();
  void putTag(TextView chunk);
  void showTag(TextView chunk);
  void endTag();

  PieceSink& sink_;
  State state_ = State::Head;
  bool lessThanHeld_ = false;   // the block ended in a "<" whose next character tells whether it starts a tag
  bool innerTagStart_ = false;  // a tag start came in the tag since its "<" or the last ">"
  // Trimming the tag: whether it showed a character other than a space yet,
  // the spaces after its last such character, and its first six characters.
  bool tagShown_ = false;
  std::size_t spacesHeld_ = 0;
  Text tagStart_;
  Text scriptEndHeld_;  // the start of a "</script" that the block's end cut
};

}  // namespace vantiro
