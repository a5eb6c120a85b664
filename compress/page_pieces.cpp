#include "compress/page_pieces.h"

#include <algorithm>
#include <exception>
#include <utility>
#include <vector>

#include "common/page_error.h"
#include "compress/page_compressor.h"
#include "compress/page_elements.h"
#include "compress/page_kind.h"
#include "compress/page_piece.h"
#include "compress/page_split.h"
#include "compress/page_styles.h"
#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/split_output.h"
#include "compress/tag_attributes.h"
#include "compress/tag_scanner.h"
#include "compress/text_routines.h"

namespace vantiro {
namespace {

// More open elements than this where a window would begin, and the page is
// compressed whole: every window would repeat them all.
constexpr std::size_t kDeepestContext = 4096;

// A window grows to at most this many times the usual size.
constexpr std::size_t kLargestWindows = 16;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// A window on the page: its bytes [from, to) decoded after `contextTags`
// start tags (`contextChars` characters), and cut into tags. `asRead` keeps
// those characters as decoded: the scan joins the lines of comments in place.
struct Window {
  Text asRead;
  PageSplit split;
  std::size_t from = 0;
  std::size_t to = 0;
  int contextTags = 0;
  std::size_t contextChars = 0;

  int realTags() const { return split.lastIndex + 1 - contextTags; }
  // The character at which tag i starts (its "<"); asked before the slot is rewritten.
  std::size_t tagStart(int i) const { return static_cast<std::size_t>(split.tags[at(i)].data() - split.page.data()) - 1; }
};

// The position in `bytes` of the "<" that starts tag i of `window`. In the
// code pages windows are made in, a "<" byte is always that character, and
// no character holds one, so it is the byte of the same count of "<".
std::size_t byteOfTag(std::string_view bytes, const Window& window, int i) {
  const char32_t* const chars = window.asRead.data();
  const std::size_t before =
      static_cast<std::size_t>(std::count(chars + window.contextChars, chars + window.tagStart(i), U'<'));
  std::size_t p = window.from;
  for (std::size_t seen = 0;; ++p, ++seen) {
    p = bytes.find('<', p);
    if (seen == before) return p;
  }
}

// The window of the page from byte `from` on, after `context`, that holds at
// least `tagsWanted` of the page's tags, or reaches its end: `windowBytes` at
// first, twice that as often as needed. A window's end may cut a tag (a
// server block or a tag without its ">"), which the scan then refuses; a
// larger window holds it whole. Nothing when the context does not come out
// as `contextTags` tags of its own, or when no window of at most
// kLargestWindows times the usual size will do: a script or a block of tens
// of megabytes, or a scan that fails whatever the window.
std::optional<Window> cutWindow(std::string_view bytes, const CodePage& codePage, LineBreak lineBreak, TextView context,
                                int contextTags, std::size_t from, int tagsWanted, std::size_t windowBytes) {
  const std::size_t largest = std::max(windowBytes, PieceSizes{}.windowBytes) * kLargestWindows;
  for (std::size_t size = windowBytes; size <= largest; size *= 2) {
    const std::size_t to = size >= bytes.size() - from ? bytes.size() : from + size;
    Window window;
    window.from = from;
    window.to = to;
    window.contextTags = contextTags;
    window.contextChars = context.size();
    const bool end = to == bytes.size();
    try {
      PageChars chars = PageChars::decodeAfter(context, bytes.substr(from, to - from), codePage);
      window.asRead.assign(chars.view());
      window.split = scanPage(std::move(chars), lineBreak);
    } catch (const PageError&) {
      if (end) throw;
      continue;
    }
    if (window.realTags() < 1 && !end) continue;
    // Past the page's start a window begins with a tag: its first after the context.
    if (from > 0 && (window.realTags() < 1 || window.tagStart(contextTags) != context.size())) return std::nullopt;
    if (end || window.realTags() >= tagsWanted) return window;
  }
  return std::nullopt;
}

// What the passes over a window need to know of the whole page, and what
// tells whether it is one, found in one read through it.
struct PageSurvey {
  bool startsLikePage = false;
  bool htmlTagAnyCase = false;
  bool htmlTagExactCase = false;
  std::size_t characters = 0;
  std::size_t undecodable = 0;
  int tags = 0;
  // What the scan of the page's last window threw: thrown once the page is
  // known to be one, as compressing it whole would.
  std::exception_ptr scanError;
  bool endsInScript = false;
  bool standardsMode = false;
  // Copies of the page's style, link and base tags, each with its text.
  PageSplit styleSources;
};

// Adds tag i of `split` and its text to `sources`, as copies.
void keepStyleSource(const PageSplit& split, int i, PageSplit& sources) {
  sources.styleSources.push_back(static_cast<int>(sources.tags.size()));
  sources.tags.emplace_back(split.tags[at(i)].view());
  sources.texts.emplace_back(split.texts[at(i)].view());
  sources.lastIndex = static_cast<int>(sources.tags.size()) - 1;
}

// Adds to `survey` what the page's characters tell of `rest`, the last of
// it, which its scan refused: whether it is a page at all comes first.
void surveyUnscannedRest(std::string_view rest, const CodePage& codePage, bool wholePage, PageSurvey& survey) {
  const PageChars chars = PageChars::decode(rest, codePage);
  if (wholePage) survey.startsLikePage = startsLikeHtml(chars.view());
  survey.htmlTagAnyCase = survey.htmlTagAnyCase || hasHtmlTag(chars.view());
  survey.htmlTagExactCase = survey.htmlTagExactCase || hasHtmlTagExactCase(chars.view());
  survey.characters += chars.size();
  survey.undecodable += chars.undecodableBytes();
}

std::optional<PageSurvey> surveyPage(std::string_view bytes, const CodePage& codePage, LineBreak lineBreak,
                                     const PieceSizes& sizes) {
  PageSurvey survey;
  survey.styleSources.tags.clear();
  survey.styleSources.texts.clear();
  for (std::size_t from = 0;;) {
    // Two tags at least: one of its own, and the next window's first.
    std::optional<Window> window;
    try {
      window = cutWindow(bytes, codePage, lineBreak, TextView(), 0, from, 2, sizes.windowBytes);
    } catch (const PageError&) {
      survey.scanError = std::current_exception();
      surveyUnscannedRest(bytes.substr(from), codePage, from == 0, survey);
      return survey;
    }
    if (!window) return std::nullopt;
    const PageSplit& split = window->split;
    const bool end = window->to == bytes.size();
    // The last tag of a window that ends before the page may be cut short: the next one starts with it.
    const int own = end ? split.lastIndex + 1 : split.lastIndex;
    const std::size_t ownChars = end ? split.page.size() : window->tagStart(split.lastIndex);
    const std::size_t ownTo = end ? bytes.size() : byteOfTag(bytes, *window, split.lastIndex);
    if (from == 0) {
      // Comments before the first tag longer than a window leave it untold.
      survey.startsLikePage = startsLikeHtml(window->asRead);
      if (!survey.startsLikePage && !end) return std::nullopt;
      survey.standardsMode = split.lastIndex >= 0 && isStandardsDoctype(split.tags[0]);
    }
    // A "<html" before the next window's first "<" ends before it.
    const TextView ownText = TextView(window->asRead).substr(0, ownChars);
    survey.htmlTagAnyCase = survey.htmlTagAnyCase || hasHtmlTag(ownText);
    survey.htmlTagExactCase = survey.htmlTagExactCase || hasHtmlTagExactCase(ownText);
    survey.characters += ownChars;
    survey.undecodable += split.page.undecodableBytes() -
                          PageChars::decode(bytes.substr(ownTo, window->to - ownTo), codePage).undecodableBytes();
    for (const int i : split.styleSources)
      if (i < own) keepStyleSource(split, i, survey.styleSources);
    survey.tags += own;
    if (end) {
      survey.endsInScript = split.endsInScript;
      return survey;
    }
    from = ownTo;
  }
}

// Whether a quoted value of start tag `tag` runs to its end: the scan cut
// the tag at a ">" inside the value, and the tags after it are read as part
// of it until its quote closes.
bool endsInsideValue(TextView tag) {
  bool open = false;
  forEachAttribute(tag, [&](const TagAttribute& a) { open = open || !a.closed; });
  return open;
}

// Where every tag of a window lies as the scan cut it, before the passes
// rewrite it: a start tag still open where the next window begins is
// repeated there as it was read.
class TagsAsRead {
 public:
  explicit TagsAsRead(const Window& window)
      : chars_(window.asRead), starts_(at(window.split.lastIndex + 1)), sizes_(at(window.split.lastIndex + 1)) {
    const PageSplit& split = window.split;
    for (int i = 0; i <= split.lastIndex; ++i) {
      starts_[at(i)] = static_cast<std::size_t>(split.tags[at(i)].data() - split.page.data());
      sizes_[at(i)] = split.tags[at(i)].size();
    }
  }
  TextView operator[](int i) const { return chars_.substr(starts_[at(i)], sizes_[at(i)]); }

 private:
  TextView chars_;
  std::vector<std::size_t> starts_;
  std::vector<std::size_t> sizes_;
};

// Whether tags [from, to) of `split` hold one that is no comment.
bool holdsTagOtherThanComments(const PageSplit& split, int from, int to) {
  for (int i = from; i < to; ++i)
    if (!isCommentTag(split.tags[at(i)])) return true;
  return false;
}

// Whether the passes told, in a window that ends before the page, all that
// its own tags become. The further level's passes join the text of a tag
// they drop to the last text written before it, so the first tag written
// after the window's own (which ends that) must lie where every pass could
// tell what the tags up to it become; and a pass may have asked for later
// tags itself.
bool toldInWindow(const PageSplit& split, const PagePiece& piece, const PieceBoundary& boundary,
                  const CompressionOptions& options) {
  if (boundary.needsLaterTags) return false;
  if (options.level != CompressionLevel::Further) return true;
  const int told = std::min(split.lastIndex - kTagsLookedPast, boundary.lookedPastEndFrom);
  for (int i = piece.ownEnd; i < told; ++i)
    if (!split.tags[at(i)].empty()) return true;
  return false;
}

// Rewrites the page's windows in order and appends each one's own tags to
// the result. A window's own tags lie between margins of at least
// `marginTags` tags on either side (none before the first, none after the
// last), which the passes read as they would in the whole page; the next
// window begins a margin before the last one's own end, after the start tags
// of the elements open there, and from where the passes stood there.
std::optional<std::string> compressWindows(std::string_view bytes, const CodePage& codePage, LineBreak lineBreak,
                                           const PageSurvey& survey, const StyleRules& styles,
                                           const CompressionOptions& options, ProgressIndicator& progress,
                                           const PieceSizes& sizes) {
  const int margin = std::max(sizes.marginTags, kTagsLookedPast + 1);
  std::string result;
  // Reserved, not touched: a result longer than the page is rare.
  result.reserve(bytes.size() + bytes.size() / 4);
  Text context;
  int contextTags = 0;
  bool inPreformatted = false;
  PassesState passes;
  int ownFrom = 0;  // the first own tag, counted from the window's first tag after the context
  for (std::size_t from = 0;;) {
    // A window whose passes need more than its margin after its own tags is
    // read again with a margin twice as long.
    std::optional<Window> window;
    PieceBoundary boundary;
    int after = margin;
    int ownEnd = 0;
    std::size_t nextFrom = 0;  // where the next window begins
    std::optional<TagsAsRead> asRead;
    for (;; after *= 2) {
      window = cutWindow(bytes, codePage, lineBreak, context, contextTags, from, ownFrom + 2 * after + 2,
                         sizes.windowBytes);
      if (!window) return std::nullopt;
      PageSplit& split = window->split;
      const bool end = window->to == bytes.size();
      const int realLast = split.lastIndex - contextTags;
      ownEnd = end ? realLast + 1 : realLast - after;
      // An end tag's rewriting looks past comments to the next other tag: the
      // margin must hold one before the window's last, which its end may cut.
      if (!end && !holdsTagOtherThanComments(split, contextTags + ownEnd, split.lastIndex)) return std::nullopt;
      const int next = contextTags + ownEnd - after;  // the tag the next window begins at
      nextFrom = end ? bytes.size() : byteOfTag(bytes, *window, next);
      asRead.emplace(*window);

      const PagePiece piece{contextTags, survey.standardsMode, inPreformatted, end ? -1 : next,
                            contextTags + ownEnd, end, passes};
      boundary = PieceBoundary();
      split.endsInScript = survey.endsInScript;
      NoProgress quiet;
      rewritePage(split, options.compressScripts, styles, quiet, options.level, &piece, &boundary);
      if (options.preformatParagraphs) convertParagraphs(split, &piece, &boundary);
      if (end || toldInWindow(split, piece, boundary, options)) break;
    }
    const PageSplit& split = window->split;
    const bool end = window->to == bytes.size();
    appendEncoded(split, options.breakLinesAfterTags, contextTags + ownFrom, contextTags + ownEnd, from == 0, result);
    progress.setValue(static_cast<int>(nextFrom * 1000 / bytes.size()));
    if (end) return result;

    if (boundary.insideValue || boundary.openStarts.size() > kDeepestContext) return std::nullopt;
    context.clear();
    for (const int start : boundary.openStarts) {
      const TextView tag = (*asRead)[start];
      if (endsInsideValue(tag)) return std::nullopt;
      context += U'<';
      context += tag;
      context += U'>';
    }
    contextTags = static_cast<int>(boundary.openStarts.size());
    inPreformatted = boundary.inPreformatted;
    passes = std::move(boundary.passes);
    ownFrom = after;
    from = nextFrom;
  }
}

}  // namespace

bool compressedInPieces(std::size_t size) { return size >= kPiecewiseFrom; }

std::optional<PiecewiseResult> compressInPieces(std::string_view bytes, const CodePage& codePage,
                                                const CompressionOptions& options, const std::string& nativePagePath,
                                                ProgressIndicator& progress, PieceSizes sizes) {
  if (!codePage.boundsCharBytes() || bytes.empty()) return std::nullopt;
  // Bytes, not characters: in these code pages a CR LF is those two bytes.
  const LineBreak lineBreak =
      bytes.find("\r\n") != std::string_view::npos ? LineBreak::CrLf : LineBreak::Lf;
  progress.setRange(0, 1000);
  const std::optional<PageSurvey> survey = surveyPage(bytes, codePage, lineBreak, sizes);
  if (!survey) return std::nullopt;
  PiecewiseResult piecewise;
  if (survey->undecodable * 4 > survey->characters || !survey->startsLikePage) {
    piecewise.notPage = true;
    return piecewise;
  }
  if (options.requireHtml && !survey->htmlTagExactCase) {
    piecewise.check4Failed = true;
    return piecewise;
  }
  piecewise.notHtml = !survey->htmlTagAnyCase;
  if (survey->scanError) std::rethrow_exception(survey->scanError);
  if (survey->tags < 2) throw PageError("页面中的标记少于两个");
  const StyleRules styles = pageStyleRules(survey->styleSources, nativePagePath);
  std::optional<std::string> result =
      compressWindows(bytes, codePage, lineBreak, *survey, styles, options, progress, sizes);
  if (!result) return std::nullopt;
  piecewise.result = std::move(*result);
  return piecewise;
}

}  // namespace vantiro
