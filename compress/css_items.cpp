#include "compress/css_items.h"

namespace vantiro {
namespace {

// The token that closes `open`, or End when `open` opens nothing.
CssTokenKind closerOf(CssTokenKind open) {
  switch (open) {
    case CssTokenKind::Function:
    case CssTokenKind::OpenParen:
      return CssTokenKind::CloseParen;
    case CssTokenKind::OpenSquare:
      return CssTokenKind::CloseSquare;
    case CssTokenKind::OpenCurly:
      return CssTokenKind::CloseCurly;
    default:
      return CssTokenKind::End;
  }
}

}  // namespace

CssItemEnd CssItemReader::read(CssContext context) {
  item_.clear();
  closers_.clear();
  for (;;) {
    const CssToken token = tokens_.next();
    const CssTokenKind kind = token.kind;
    if (kind == CssTokenKind::End) return CssItemEnd::End;
    if (kind == CssTokenKind::Comment) continue;
    if (item_.empty() &&
        (kind == CssTokenKind::Whitespace ||
         (context == CssContext::TopLevel && (kind == CssTokenKind::Cdo || kind == CssTokenKind::Cdc))))
      continue;
    if (closers_.empty()) {
      if (kind == CssTokenKind::OpenCurly) return CssItemEnd::OpenCurly;
      if (kind == CssTokenKind::CloseCurly && context != CssContext::TopLevel) return CssItemEnd::CloseCurly;
      if (kind == CssTokenKind::Semicolon &&
          (context == CssContext::StyleBlock || item_.empty() || item_.front().kind == CssTokenKind::AtKeyword))
        return CssItemEnd::Semicolon;
    } else if (kind == closers_.back()) {
      closers_.pop_back();
    }
    if (const CssTokenKind closer = closerOf(kind); closer != CssTokenKind::End) closers_.push_back(closer);
    item_.push_back(token);
  }
}

void CssItemReader::skipBlock() {
  closers_.assign(1, CssTokenKind::CloseCurly);
  while (!closers_.empty()) {
    const CssTokenKind kind = tokens_.next().kind;
    if (kind == CssTokenKind::End) return;
    if (kind == closers_.back()) {
      closers_.pop_back();
    } else if (const CssTokenKind closer = closerOf(kind); closer != CssTokenKind::End) {
      closers_.push_back(closer);
    }
  }
}

}  // namespace vantiro
