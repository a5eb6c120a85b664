#pragma once
// The page cutter of PieceReader for a page that comes a block at a time:
// what it cuts is handed on as it is met, so that no piece is held whole,
// however long.

#include "platform/text.h"
#include "replace/piece_scanner.h"

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
  // The Specific variant lets a tag without ">" run to the page's end (the
  // sink then sees no tagEnds) and a "<%" block run to its "%>".
  explicit PieceStream(PieceSink& sink, ScanVariant variant = ScanVariant::General) : sink_(sink), variant_(variant) {}
  // The next block of the page.
  void feed(TextView block);
  // The end of the page. Throws PageError, as PieceReader does, when the
  // General variant meets a tag without ">" or the Specific one a "<%" block
  // without "%>". The text given last, if a tag came before it, is the page's tail.
  void finish();

 private:
  // PercentTag: a tag that began with "%" and showed only spaces since: a
  // ">" ends it as a tag, anything else makes it a Server block.
  enum class State { Head, Tag, Text, Script, PercentTag, Server };

  std::size_t scanText(TextView block, std::size_t from);
  std::size_t scanTag(TextView block, std::size_t from);
  std::size_t scanScript(TextView block, std::size_t from);
  std::size_t scanPercentTag(TextView block, std::size_t from);
  std::size_t scanServer(TextView block, std::size_t from);
  void putText(TextView chunk);
  void beginTag();
  void putTag(TextView chunk);
  void showTag(TextView chunk);
  void endTag();

  PieceSink& sink_;
  ScanVariant variant_;
  State state_ = State::Head;
  // The block ended in a ">" that a tag start before it kept from ending the
  // tag: it ends the tag if the page ends there.
  bool greaterThanHeld_ = false;
  bool percentHeld_ = false;    // the block ended in a server block's "%", which a ">" closes
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
