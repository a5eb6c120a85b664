#include "replace/piece_scanner.h"

#include "common/page_error.h"
#include "compress/tag_scanner.h"

namespace vantiro {
namespace {

// The first "</script" at or after `from`, in any letter case.
std::size_t findScriptEnd(TextView page, std::size_t from) {
  static constexpr TextView kEnd = U"</SCRIPT";
  for (std::size_t at = page.find(U'<', from); at != npos; at = page.find(U'<', at + 1)) {
    if (page.size() - at < kEnd.size()) return npos;
    bool same = true;
    for (std::size_t k = 1; k < kEnd.size() && same; ++k) same = upperAscii(page[at + k]) == kEnd[k];
    if (same) return at;
  }
  return npos;
}

void appendPiece(PieceList& pieces, Text tag) {
  ++pieces.lastIndex;
  if (pieces.lastIndex > pieces.capacity - 2) {
    pieces.capacity += PieceList::kBlock;
    pieces.tags.resize(static_cast<std::size_t>(pieces.capacity) + 1);
    pieces.texts.resize(static_cast<std::size_t>(pieces.capacity) + 1);
  }
  pieces.tags[static_cast<std::size_t>(pieces.lastIndex)] = std::move(tag);
}

}  // namespace

bool isScriptTag(TextView tag) {
  static constexpr TextView kScript = U"SCRIPT";
  if (tag.size() < kScript.size()) return false;
  for (std::size_t k = 0; k < kScript.size(); ++k)
    if (upperAscii(tag[k]) != kScript[k]) return false;
  return true;
}

PieceReader::PieceReader(TextView page, ScanVariant variant)
    : page_(page), variant_(variant), tagStart_(findTagStart(page, 0)) {
  head_ = page.substr(0, tagStart_ == npos ? page.size() : tagStart_);
}

std::optional<Piece> PieceReader::next() {
  if (tagStart_ == npos) return std::nullopt;
  const TextView page = page_;
  const std::size_t tagStart = tagStart_;
  tagStart_ = npos;
  // Find the tag's end: a tag start met before the ">" moves the scan on to
  // that ">" and the search starts again from there.
  std::size_t scanFrom = tagStart;
  std::size_t tagEnd = npos;
  std::size_t nextStart = npos;
  while (true) {
    tagEnd = page.find(U'>', scanFrom + 1);
    nextStart = findTagStart(page, scanFrom + 1);
    if (tagEnd != npos && nextStart != npos && nextStart < tagEnd) {
      scanFrom = tagEnd;
      continue;
    }
    break;
  }

  Piece piece;
  if (tagEnd == npos) {
    if (variant_ == ScanVariant::General) throw PageError("网页中有未结束的标记（缺少“>”）");
    if (page.back() == U'>') {
      tagEnd = page.size() - 1;  // the scan stood on the page's last ">": the tag ends there
    } else {
      tagEnd = page.size();  // the tag runs to the end of the page, without a ">"
      piece.open = true;
    }
  }
  piece.tag = trimSpaces(page.substr(tagStart + 1, tagEnd - tagStart - 1));

  if (variant_ == ScanVariant::Specific && piece.tag.size() >= 2 && piece.tag[0] == U'%') {
    // A server-side block runs to its "%>", whatever "<" and ">" it holds.
    std::size_t close = page.find(U"%>", tagStart + 1);
    if (close == npos) throw PageError("服务器端脚本缺少结束的“%>”");
    tagEnd = close + 1;
    piece.open = false;
    piece.tag = trimSpaces(page.substr(tagStart + 1, tagEnd - tagStart - 1));
    nextStart = findTagStart(page, tagEnd + 1);
  }
  if (piece.open) return piece;

  const std::size_t next = isScriptTag(piece.tag) ? findScriptEnd(page, tagEnd + 1) : nextStart;
  if (next == npos) {
    piece.text = page.substr(tagEnd + 1);
    piece.textIsTail = true;
    return piece;
  }
  piece.text = page.substr(tagEnd + 1, next - tagEnd - 1);
  tagStart_ = next;
  return piece;
}

PieceList cutPieces(TextView page, ScanVariant variant) {
  PieceList pieces;
  PieceReader reader(page, variant);
  pieces.head = Text(reader.head());
  while (std::optional<Piece> piece = reader.next()) {
    appendPiece(pieces, std::move(piece->tag));
    pieces.lastTagOpen = piece->open;
    if (piece->textIsTail)
      pieces.tail = Text(piece->text);
    else
      pieces.texts[static_cast<std::size_t>(pieces.lastIndex)] = Text(piece->text);
  }
  return pieces;
}

Text joinPieces(const PieceList& pieces) {
  std::size_t size = pieces.head.size() + pieces.tail.size();
  for (int i = 0; i <= pieces.lastIndex; ++i)
    size += pieces.tags[static_cast<std::size_t>(i)].size() + pieces.texts[static_cast<std::size_t>(i)].size() + 2;
  Text out;
  out.reserve(size);
  out += pieces.head;
  for (int i = 0; i <= pieces.lastIndex; ++i) {
    auto row = static_cast<std::size_t>(i);
    out += U'<';
    out += pieces.tags[row];
    if (!(pieces.lastTagOpen && i == pieces.lastIndex)) out += U'>';
    out += pieces.texts[row];
  }
  out += pieces.tail;
  return out;
}

}  // namespace vantiro
