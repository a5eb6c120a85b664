#include "replace/attribute_replacer.h"

#include "replace/two_passes.h"

#include <algorithm>

namespace vantiro {
namespace {

bool startsWithIgnoringCase(TextView text, TextView prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k)
    if (upperAscii(text[k]) != upperAscii(prefix[k])) return false;
  return true;
}

bool equalsIgnoringCase(TextView a, TextView b) { return a.size() == b.size() && startsWithIgnoringCase(a, b); }

// Both tests look at no more than the tag's first name.size() + 2
// characters: they may be given the tag cut there.
bool matchesTitleTag(TextView tag, TextView name) {
  if (equalsIgnoringCase(trimSpaces(tag), name)) return true;
  return tag.size() >= name.size() + 2 && startsWithIgnoringCase(tag, name) && tag[name.size()] == U' ';
}

bool matchesTagInside(TextView tag, TextView name) {
  return tag.size() >= name.size() + 2 && startsWithIgnoringCase(tag, name);
}

// Replaces in the tags or texts that the kind names, as the cutter hands the
// pieces on. Which piece is the last, whose text is the page's tail and left
// alone, shows only at the page's end: a first pass counts the pieces and
// drops what it found in the last text; the pass that writes is told which
// piece that is.
class AttributePieces final : public PieceSink {
 public:
  AttributePieces(const SearchParameters& params, StreamReplacer& replacer, const StreamReplacer::Put& put,
                  long long lastPiece)
      : params_(params), replacer_(replacer), put_(put), lastPiece_(lastPiece) {}

  void head(TextView chunk) override { put(chunk); }
  void tagBegins() override {
    endTarget(true);
    put(U"<");
    ++piece_;
    inTag_ = true;
    decided_ = false;
    titleHit_ = false;
    tagStart_.clear();
  }
  void tag(TextView chunk) override {
    if (!decided_) {
      const std::size_t room = params_.target.tagName.size() + 2 - tagStart_.size();
      tagStart_ += chunk.substr(0, room);
      chunk.remove_prefix(std::min(room, chunk.size()));
      if (tagStart_.size() < params_.target.tagName.size() + 2) return;
      decide();
    }
    pass(chunk);
  }
  void tagEnds(bool) override {
    endTag();
    put(U">");
    if (!titleHit_) return;
    if (piece_ == lastPiece_)
      replaceInEmptyText();
    else
      startTarget();
  }
  void text(TextView chunk) override { pass(chunk); }

  // The page ended: a tag still open ran to its end, and a text still
  // searched (in the pass that counts) was the page's tail.
  void endPage() {
    if (inTag_) {
      endTag();
      if (titleHit_) replaceInEmptyText();
    } else if (targeting_) {
      endTarget(false);
      replaceInEmptyText();
    }
  }
  StreamCount total() const { return total_; }
  long long pieces() const { return piece_ + 1; }

 private:
  void put(TextView chunk) {
    if (put_) put_(chunk);
  }
  void pass(TextView chunk) {
    if (!targeting_) {
      put(chunk);
    } else if (!params_.fixedReplacement) {
      replacer_.feed(chunk);
    } else {
      const TextView replacement = params_.replacement;
      // Once they differ the size may pass the replacement's: substr is not asked again.
      sameAsReplacement_ = sameAsReplacement_ && replacement.substr(targetSize_, chunk.size()) == chunk;
      targetSize_ += chunk.size();
    }
  }
  // The tag is known by its first characters, or by all of them when it is shorter.
  void decide() {
    decided_ = true;
    const TextView name = params_.target.tagName;
    const int kind = params_.target.kind;
    titleHit_ = kind == kKindTitle && matchesTitleTag(tagStart_, name);
    if (kind == kKindTagInside && matchesTagInside(tagStart_, name)) startTarget();
    pass(tagStart_);
  }
  void endTag() {
    if (!decided_) decide();
    endTarget(true);
    inTag_ = false;
  }
  void startTarget() {
    targeting_ = true;
    sameAsReplacement_ = true;
    targetSize_ = 0;
    if (!params_.fixedReplacement) replacer_.start();
  }
  // `keep`: the count is the page's; otherwise the target was the tail after all.
  void endTarget(bool keep) {
    if (!targeting_) return;
    targeting_ = false;
    StreamCount done;
    if (params_.fixedReplacement) {
      done = {1, !(sameAsReplacement_ && targetSize_ == params_.replacement.size())};
      put(params_.replacement);
    } else {
      done = replacer_.finish();
    }
    if (!keep) return;
    total_.count += done.count;
    total_.replaced |= done.replaced;
  }
  // A title whose text is the tail, or none, is replaced in an empty text.
  void replaceInEmptyText() {
    startTarget();
    endTarget(true);
  }

  const SearchParameters& params_;
  StreamReplacer& replacer_;
  const StreamReplacer::Put& put_;
  long long lastPiece_;
  long long piece_ = -1;  // the piece whose tag began last
  bool inTag_ = false;
  bool decided_ = false;   // whether the kind names the tag is known
  bool titleHit_ = false;  // the title kind names the tag: its text is replaced
  Text tagStart_;          // the tag's first characters, until it is known
  bool targeting_ = false;
  bool sameAsReplacement_ = true;  // a fixed replacement's target so far is the replacement's start
  std::size_t targetSize_ = 0;
  StreamCount total_;
};

// One pass over the page; with `output`, the new page is appended to it.
PiecePass replaceOnce(std::string_view bytes, const CodePage& codePage, const SearchParameters& params,
                      std::size_t blockBytes, std::string* output, long long lastPiece) {
  const StreamReplacer::Put put = encodingInto(codePage, output);
  StreamReplacer replacer(params.findText, params.replacement, params.matchFlags(), put);
  AttributePieces pieces(params, replacer, put, lastPiece);
  return passPieces(bytes, codePage, blockBytes, pieces, ScanVariant::Specific);
}

}  // namespace

AttributeBytesReplacement replaceAttributeInPageBytes(std::string_view bytes, const CodePage& codePage,
                                                      const SearchParameters& params, NewPage newPage,
                                                      std::size_t blockBytes) {
  auto [count, output] = countThenWrite(
      bytes.size(),
      [&](std::string* into, long long lastPiece) {
        return replaceOnce(bytes, codePage, params, blockBytes, into, lastPiece);
      },
      [newPage](const StreamCount& found) {
        return newPage == NewPage::Always || (newPage == NewPage::WhenReplaced && found.replaced);
      });
  return {count.count, count.replaced, std::move(output)};
}

}  // namespace vantiro
