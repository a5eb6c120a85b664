#include "replace/page_replacer.h"

#include "replace/two_passes.h"

namespace vantiro {
namespace {

// Replaces in the part of each piece that the mode names, as the cutter
// hands the pieces on. Which piece is the last, whose text is the page's tail
// and left alone, shows only at the page's end: a first pass counts the
// pieces and drops what it found in the last text; the pass that writes is
// told which piece that is.
class PieceReplacer final : public PieceSink {
 public:
  PieceReplacer(ReplaceMode mode, StreamReplacer& replacer, const StreamReplacer::Put& put, long long lastPiece)
      : mode_(mode), replacer_(replacer), put_(put), lastPiece_(lastPiece) {}

  void head(TextView chunk) override { put(chunk); }
  void tagBegins() override {
    endText();
    put(U"<");
    searching_ = mode_ == ReplaceMode::Tags;
    if (searching_) replacer_.start();
  }
  void tag(TextView chunk) override { pass(chunk); }
  void tagEnds(bool script) override {
    if (searching_) add(replacer_.finish());
    put(U">");
    ++pieces_;
    searching_ = (mode_ == ReplaceMode::Text || (mode_ == ReplaceMode::Scripts && script)) && pieces_ - 1 != lastPiece_;
    if (searching_) replacer_.start();
  }
  void text(TextView chunk) override { pass(chunk); }

  // The page ended: what was searched last is its tail.
  void endPage() {
    if (searching_) replacer_.finish();
    searching_ = false;
  }
  StreamCount total() const { return total_; }
  long long pieces() const { return pieces_; }

 private:
  void put(TextView chunk) {
    if (put_) put_(chunk);
  }
  void pass(TextView chunk) {
    if (searching_)
      replacer_.feed(chunk);
    else
      put(chunk);
  }
  void endText() {
    if (searching_) add(replacer_.finish());
    searching_ = false;
  }
  void add(StreamCount done) {
    total_.count += done.count;
    total_.replaced |= done.replaced;
  }

  ReplaceMode mode_;
  StreamReplacer& replacer_;
  const StreamReplacer::Put& put_;
  long long lastPiece_;
  bool searching_ = false;
  long long pieces_ = 0;
  StreamCount total_;
};

// One pass over the page; with `output`, the new page is appended to it.
PiecePass replaceOnce(std::string_view bytes, const CodePage& codePage, const SearchParameters& params,
                      std::size_t blockBytes, std::string* output, long long lastPiece) {
  const StreamReplacer::Put put = encodingInto(codePage, output);
  StreamReplacer replacer(params.findText, params.replacement, params.matchFlags(), put);
  if (params.mode == ReplaceMode::Page) {
    PageBlocks blocks(bytes, codePage, blockBytes);
    while (const std::optional<TextView> block = blocks.next()) replacer.feed(*block);
    return {replacer.finish()};
  }
  PieceReplacer pieces(params.mode, replacer, put, lastPiece);
  return passPieces(bytes, codePage, blockBytes, pieces, ScanVariant::General);
}

}  // namespace

BytesReplacement replaceInPageBytes(std::string_view bytes, const CodePage& codePage, const SearchParameters& params,
                                    std::size_t blockBytes) {
  auto [count, output] = countThenWrite(
      bytes.size(),
      [&](std::string* into, long long lastPiece) {
        return replaceOnce(bytes, codePage, params, blockBytes, into, lastPiece);
      },
      [](const StreamCount& found) { return found.replaced; });
  return {count.count, std::move(output)};
}

}  // namespace vantiro
