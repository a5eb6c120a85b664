#include "compress/css_subjects.h"

#include <initializer_list>

namespace vantiro {
namespace {

using Tokens = std::span<const CssToken>;

bool isDelim(const Tokens& tokens, std::size_t k, char32_t c) {
  return k < tokens.size() && tokens[k].kind == CssTokenKind::Delim && tokens[k].value[0] == c;
}

// The position after the bracket that closes the one opened at `open`, or
// the end when it stays open.
std::size_t afterClose(const Tokens& tokens, std::size_t open) {
  int depth = 0;
  for (std::size_t k = open; k < tokens.size(); ++k) {
    switch (tokens[k].kind) {
      case CssTokenKind::Function:
      case CssTokenKind::OpenParen:
      case CssTokenKind::OpenSquare:
      case CssTokenKind::OpenCurly:
        ++depth;
        break;
      case CssTokenKind::CloseParen:
      case CssTokenKind::CloseSquare:
      case CssTokenKind::CloseCurly:
        if (--depth == 0) return k + 1;
        break;
      default:
        break;
    }
  }
  return tokens.size();
}

Tokens trimmed(Tokens tokens) {
  while (!tokens.empty() && tokens.front().kind == CssTokenKind::Whitespace) tokens = tokens.subspan(1);
  while (!tokens.empty() && tokens.back().kind == CssTokenKind::Whitespace) tokens = tokens.first(tokens.size() - 1);
  return tokens;
}

// The compound after the last combinator (white space, >, +, ~, ||).
Tokens lastCompound(Tokens selector) {
  selector = trimmed(selector);
  std::size_t start = 0;
  for (std::size_t k = 0; k < selector.size();) {
    const CssToken& t = selector[k];
    if (t.kind == CssTokenKind::Function || t.kind == CssTokenKind::OpenParen || t.kind == CssTokenKind::OpenSquare ||
        t.kind == CssTokenKind::OpenCurly) {
      k = afterClose(selector, k);
    } else if (t.kind == CssTokenKind::Whitespace || isDelim(selector, k, U'>') || isDelim(selector, k, U'+') ||
               isDelim(selector, k, U'~')) {
      start = ++k;
    } else if (isDelim(selector, k, U'|') && isDelim(selector, k + 1, U'|')) {
      start = k += 2;
    } else {
      ++k;
    }
  }
  return selector.subspan(start);
}

// The narrowest of the parts a compound must match.
class Narrowest {
 public:
  void consider(Subjects part, SubjectKind kind) {
    if (part.everyElement) return;
    const std::size_t cost = part.keys.size() * 4 + (4 - static_cast<std::size_t>(kind));
    if (!best_.everyElement && cost >= cost_) return;
    best_ = std::move(part);
    cost_ = cost;
  }
  void consider(SubjectKind kind, TextView name) { consider(Subjects{false, {subjectKey(kind, name)}}, kind); }
  Subjects result() { return std::move(best_); }

 private:
  Subjects best_;
  std::size_t cost_ = 0;
};

bool isMatchesAnyOf(TextView function) {
  for (TextView name :
       {TextView(U"is"), TextView(U"where"), TextView(U"matches"), TextView(U"-webkit-any"), TextView(U"-moz-any")})
    if (isCssWord(function, name)) return true;
  return false;
}

Subjects compoundSubjects(Tokens compound, const Subjects& parent) {
  Narrowest narrowest;
  for (std::size_t k = 0; k < compound.size();) {
    const CssToken& t = compound[k];
    const bool namespaceFollows = isDelim(compound, k + 1, U'|') && !isDelim(compound, k + 2, U'|');
    if (t.kind == CssTokenKind::Ident) {
      if (!namespaceFollows) narrowest.consider(SubjectKind::Tag, t.value);
      k += namespaceFollows ? 2 : 1;
    } else if (isDelim(compound, k, U'*')) {
      k += namespaceFollows ? 2 : 1;
    } else if (isDelim(compound, k, U'|')) {
      ++k;  // "|name": a name in no namespace
    } else if (isDelim(compound, k, U'.') && k + 1 < compound.size() && compound[k + 1].kind == CssTokenKind::Ident) {
      narrowest.consider(SubjectKind::Class, compound[k + 1].value);
      k += 2;
    } else if (t.kind == CssTokenKind::Hash) {
      narrowest.consider(SubjectKind::Id, t.value);
      ++k;
    } else if (isDelim(compound, k, U'&')) {
      narrowest.consider(parent, SubjectKind::Tag);
      ++k;
    } else if (t.kind == CssTokenKind::OpenSquare) {
      k = afterClose(compound, k);
    } else if (t.kind == CssTokenKind::Colon && k + 1 < compound.size()) {
      const CssToken& pseudo = compound[k + 1];
      if (pseudo.kind == CssTokenKind::Ident) {
        k += 2;  // a pseudo-class, or the first colon of a pseudo-element
      } else if (pseudo.kind == CssTokenKind::Colon) {
        // A pseudo-element styles a part of its element; one with an argument
        // (::slotted(), ::part()) may reach other elements.
        if (k + 2 >= compound.size() || compound[k + 2].kind != CssTokenKind::Ident) return {};
        k += 3;
      } else if (pseudo.kind == CssTokenKind::Function) {
        const std::size_t end = afterClose(compound, k + 1);
        if (isMatchesAnyOf(pseudo.value)) {
          const std::size_t argumentsEnd =
              end > k + 2 && compound[end - 1].kind == CssTokenKind::CloseParen ? end - 1 : end;
          narrowest.consider(selectorSubjects(compound.subspan(k + 2, argumentsEnd - (k + 2)), parent),
                             SubjectKind::Tag);
        }
        k = end;
      } else {
        return {};
      }
    } else {
      return {};
    }
  }
  return narrowest.result();
}

}  // namespace

std::uint64_t subjectKey(SubjectKind kind, TextView name) {
  std::uint64_t hash = 0xcbf29ce484222325ull ^ static_cast<std::uint64_t>(kind);
  for (char32_t c : name) {
    if (c >= U'A' && c <= U'Z') c += 32;
    hash = (hash ^ c) * 0x100000001b3ull;
  }
  return hash;
}

Subjects selectorSubjects(Tokens selectors, const Subjects& parent) {
  Subjects all{false, {}};
  std::size_t start = 0;
  for (std::size_t k = 0; k <= selectors.size();) {
    if (k < selectors.size() && selectors[k].kind != CssTokenKind::Comma) {
      const CssTokenKind kind = selectors[k].kind;
      const bool opens = kind == CssTokenKind::Function || kind == CssTokenKind::OpenParen ||
                         kind == CssTokenKind::OpenSquare || kind == CssTokenKind::OpenCurly;
      k = opens ? afterClose(selectors, k) : k + 1;
      continue;
    }
    const Subjects one = compoundSubjects(lastCompound(selectors.subspan(start, k - start)), parent);
    if (one.everyElement) return {};
    all.keys.insert(all.keys.end(), one.keys.begin(), one.keys.end());
    start = ++k;
  }
  return all;
}

}  // namespace vantiro
