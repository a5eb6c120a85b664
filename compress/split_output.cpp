#include "compress/split_output.h"

#include <memory>
#include <utility>

#include "compress/shown_as_written.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"

namespace vantiro {
namespace {

// Calls `put` with the pieces of tags [from, to) in order (the leading text
// first when `withLeadingText`). The pieces the program adds itself ("<",
// ">", line breaks) go to `putAscii` instead: they are ASCII. Empty pieces
// are left out.
template <typename Put, typename PutAscii>
[[gnu::always_inline]] inline void forEachPiece(const PageSplit& split, bool readable, int from, int to, bool withLeadingText, Put&& put,
                  PutAscii&& putAscii) {
  const TextView lineBreak = lineBreakText(split.lineBreak);
  if (withLeadingText && !split.leadingText.empty()) {
    put(split.leadingText.view());
    if (readable) putAscii(lineBreak);
  }
  for (int i = from; i < to; ++i) {
    const SlotText& tag = split.tags[static_cast<std::size_t>(i)];
    if (tag.empty()) continue;
    const SlotText& text = split.texts[static_cast<std::size_t>(i)];
    // A line break would become part of a textarea's value.
    const bool breaks = readable && !rawTextEnd(tag);
    putAscii(TextView(U"<", 1));
    put(tag.view());
    putAscii(TextView(U">", 1));
    if (breaks) putAscii(lineBreak);
    if (text.empty()) continue;
    put(text.view());
    if (breaks) putAscii(lineBreak);
  }
}

// How many characters forEachPiece gives for the same arguments.
std::size_t piecesLength(const PageSplit& split, bool readable, int from, int to, bool withLeadingText) {
  std::size_t characters = 0;
  const auto count = [&](TextView piece) { characters += piece.size(); };
  forEachPiece(split, readable, from, to, withLeadingText, count, count);
  return characters;
}

// Encodes the pieces at `out`, which has room for kMaxCharBytes a character,
// for a code page that bounds its characters' bytes and so writes ASCII as
// itself: the pieces the program adds are copied byte by byte rather than
// encoded, a page has several of them for every tag. Returns the end.
char* encodePieces(const PageSplit& split, bool readable, int from, int to, bool withLeadingText, char* out) {
  const CodePage& codePage = split.page.codePage();
  forEachPiece(
      split, readable, from, to, withLeadingText, [&](TextView piece) { out = codePage.encodeTo(piece, out); },
      [&](TextView ascii) {
        for (char32_t c : ascii) *out++ = static_cast<char>(c);
      });
  return out;
}

}  // namespace

// Pieces are encoded straight into one buffer with room for the longest
// possible result, so a page's many small pieces cost no growing or clearing
// of the output each.
std::string assembleEncoded(PageSplit split, bool readable) {
  const CodePage& codePage = split.page.codePage();
  const int to = split.lastIndex + 1;
  if (!codePage.boundsCharBytes()) {
    std::string out;
    const auto append = [&](TextView piece) { codePage.encodeAppend(piece, out); };
    forEachPiece(split, readable, 0, to, true, append, append);
    return out;
  }
  const std::size_t characters = piecesLength(split, readable, 0, to, true);
  const auto buffer = std::make_unique_for_overwrite<char[]>(characters * CodePage::kMaxCharBytes);
  char* const end = encodePieces(split, readable, 0, to, true, buffer.get());
  { const PageSplit freed = std::move(split); }
  return std::string(buffer.get(), end);
}

void appendEncoded(const PageSplit& split, bool readable, int from, int to, bool withLeadingText, std::string& out) {
  const CodePage& codePage = split.page.codePage();
  if (!codePage.boundsCharBytes()) {
    const auto append = [&](TextView piece) { codePage.encodeAppend(piece, out); };
    forEachPiece(split, readable, from, to, withLeadingText, append, append);
    return;
  }
  // Encoded apart and then appended: room for the longest result in `out`
  // itself would be cleared, and could outgrow what it holds.
  const std::size_t characters = piecesLength(split, readable, from, to, withLeadingText);
  const auto buffer = std::make_unique_for_overwrite<char[]>(characters * CodePage::kMaxCharBytes);
  const char* const end = encodePieces(split, readable, from, to, withLeadingText, buffer.get());
  out.append(buffer.get(), static_cast<std::size_t>(end - buffer.get()));
}

}  // namespace vantiro
