#include "replace/piece_stream.h"

#include "common/page_error.h"
#include "compress/tag_scanner.h"
#include "replace/piece_scanner.h"

#include <algorithm>

namespace vantiro {
namespace {

constexpr TextView kScriptEnd = U"</SCRIPT";
constexpr std::size_t kScriptTagChars = 6;  // what isScriptTag looks at

// Whether a "<" followed by `next` starts a tag, asked of the compressor's
// scanner so that the two never disagree.
bool startsTag(char32_t next) {
  const char32_t pair[] = {U'<', next};
  return findTagStart(TextView(pair, 2), 0) == 0;
}

}  // namespace

void PieceStream::feed(TextView block) {
  std::size_t at = 0;
  while (at < block.size()) {
    switch (state_) {
      case State::Head:
      case State::Text:
        at = scanText(block, at);
        break;
      case State::Tag:
        at = scanTag(block, at);
        break;
      case State::Script:
        at = scanScript(block, at);
        break;
      case State::PercentTag:
        at = scanPercentTag(block, at);
        break;
      case State::Server:
        at = scanServer(block, at);
        break;
    }
  }
}

void PieceStream::finish() {
  if (state_ == State::Server) throw PageError("服务器端脚本缺少结束的“%>”");
  const bool inTag = state_ == State::Tag || state_ == State::PercentTag;
  if (inTag && variant_ == ScanVariant::General) throw PageError("网页中有未结束的标记（缺少“>”）");
  // A tag the page's end cut runs to that end, but for one that the page's
  // last ">" ends after all.
  if (inTag && greaterThanHeld_) endTag();
  if (!inTag && lessThanHeld_) putText(U"<");
  if (!scriptEndHeld_.empty()) putText(scriptEndHeld_);
  lessThanHeld_ = false;
  greaterThanHeld_ = false;
  percentHeld_ = false;
  scriptEndHeld_.clear();
}

void PieceStream::putText(TextView chunk) {
  if (chunk.empty()) return;
  if (state_ == State::Head)
    sink_.head(chunk);
  else
    sink_.text(chunk);
}

void PieceStream::beginTag() {
  sink_.tagBegins();
  state_ = State::Tag;
  innerTagStart_ = false;
  tagShown_ = false;
  spacesHeld_ = 0;
  tagStart_.clear();
}

void PieceStream::putTag(TextView chunk) {
  if (!tagShown_) {
    const std::size_t shown = chunk.find_first_not_of(U' ');
    if (shown == npos) return;
    chunk.remove_prefix(shown);
    tagShown_ = true;
  }
  const std::size_t last = chunk.find_last_not_of(U' ');
  if (last == npos) {
    spacesHeld_ += chunk.size();
    return;
  }
  // The spaces held are inside the tag after all.
  static constexpr TextView kSpaces = U"                                ";
  while (spacesHeld_ > 0) {
    const std::size_t spaces = std::min(spacesHeld_, kSpaces.size());
    showTag(kSpaces.substr(0, spaces));
    spacesHeld_ -= spaces;
  }
  showTag(chunk.substr(0, last + 1));
  spacesHeld_ = chunk.size() - last - 1;
}

void PieceStream::showTag(TextView chunk) {
  if (tagStart_.size() < kScriptTagChars) tagStart_ += chunk.substr(0, kScriptTagChars - tagStart_.size());
  sink_.tag(chunk);
}

void PieceStream::endTag() {
  const bool script = isScriptTag(tagStart_);
  sink_.tagEnds(script);
  state_ = script ? State::Script : State::Text;
}

std::size_t PieceStream::scanText(TextView block, std::size_t from) {
  if (lessThanHeld_) {
    lessThanHeld_ = false;
    if (startsTag(block[from])) {
      beginTag();
      return from;
    }
    putText(U"<");
  }
  const std::size_t start = findTagStart(block, from);
  if (start != npos) {
    putText(block.substr(from, start - from));
    beginTag();
    return start + 1;
  }
  // A "<" at the block's end may start a tag: the next block tells.
  lessThanHeld_ = block.back() == U'<';
  putText(block.substr(from, block.size() - from - (lessThanHeld_ ? 1 : 0)));
  return block.size();
}

std::size_t PieceStream::scanTag(TextView block, std::size_t from) {
  // The tag ends at the first ">" with no tag start between it and the
  // tag's "<" or the ">" before it, as PieceReader ends it.
  if (lessThanHeld_) {
    lessThanHeld_ = false;
    innerTagStart_ |= startsTag(block[from]);
  }
  if (greaterThanHeld_) {
    greaterThanHeld_ = false;
    putTag(U">");
  }
  // The tag's first character: "<%" may open a server block.
  if (variant_ == ScanVariant::Specific && !tagShown_ && block[from] == U'%') {
    putTag(U"%");
    state_ = State::PercentTag;
    return from + 1;
  }
  for (std::size_t at = from;;) {
    at = block.find_first_of(U"<>", at);
    if (at == npos) {
      putTag(block.substr(from));
      return block.size();
    }
    if (block[at] == U'<') {
      if (at + 1 == block.size())
        lessThanHeld_ = true;
      else
        innerTagStart_ |= startsTag(block[at + 1]);
    } else if (innerTagStart_) {
      innerTagStart_ = false;
      if (at + 1 == block.size()) {
        putTag(block.substr(from, at - from));
        greaterThanHeld_ = true;
        return block.size();
      }
    } else {
      putTag(block.substr(from, at - from));
      endTag();
      return at + 1;
    }
    ++at;
  }
}

std::size_t PieceStream::scanScript(TextView block, std::size_t from) {
  // A script's text runs to the next "</script", in any letter case.
  const auto extend = [&](std::size_t& at) {
    while (at < block.size() && scriptEndHeld_.size() < kScriptEnd.size() &&
           upperAscii(block[at]) == kScriptEnd[scriptEndHeld_.size()])
      scriptEndHeld_ += block[at++];
  };
  std::size_t at = from;
  if (!scriptEndHeld_.empty()) {
    extend(at);
  } else {
    const std::size_t lt = block.find(U'<', from);
    if (lt == npos) {
      putText(block.substr(from));
      return block.size();
    }
    putText(block.substr(from, lt - from));
    at = lt;
    extend(at);
  }
  if (scriptEndHeld_.size() == kScriptEnd.size()) {
    beginTag();
    putTag(TextView(scriptEndHeld_).substr(1));
    scriptEndHeld_.clear();
    return at;
  }
  if (at == block.size()) return at;  // the next block tells
  // Not the end: what looked like its start is text, and the character that
  // broke it off is looked at again.
  putText(scriptEndHeld_);
  scriptEndHeld_.clear();
  return at;
}

std::size_t PieceStream::scanPercentTag(TextView block, std::size_t from) {
  const std::size_t shown = block.find_first_not_of(U' ', from);
  if (shown == npos) {
    putTag(block.substr(from));
    return block.size();
  }
  putTag(block.substr(from, shown - from));
  if (block[shown] == U'>') {  // "<%>" or "<%  >": a tag like any other
    endTag();
    return shown + 1;
  }
  state_ = State::Server;  // the character is looked at again: it may be the "%" of "%>"
  return shown;
}

std::size_t PieceStream::scanServer(TextView block, std::size_t from) {
  // A server block runs to its "%>", whatever "<" and ">" it holds.
  if (percentHeld_) {
    percentHeld_ = false;
    if (block[from] == U'>') {
      endTag();
      return from + 1;
    }
  }
  const std::size_t close = block.find(U"%>", from);
  if (close != npos) {
    putTag(block.substr(from, close + 1 - from));
    endTag();
    return close + 2;
  }
  percentHeld_ = block.back() == U'%';
  putTag(block.substr(from));
  return block.size();
}

}  // namespace vantiro
