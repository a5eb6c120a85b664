#include "compress/style_rules.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "compress/css_items.h"
#include "compress/css_subjects.h"

namespace vantiro {

namespace {

enum class AtRuleBlock : std::uint8_t { Rules, Scope, Descriptors };

AtRuleBlock blockOf(TextView atKeyword) {
  // A vendor prefix ("-webkit-keyframes") does not change what the block holds.
  if (atKeyword.size() > 2 && atKeyword[0] == U'-') {
    const std::size_t dash = atKeyword.find(U'-', 1);
    if (dash != npos) atKeyword.remove_prefix(dash + 1);
  }
  if (isCssWord(atKeyword, U"scope")) return AtRuleBlock::Scope;
  for (TextView descriptors :
       {TextView(U"font-face"), TextView(U"keyframes"), TextView(U"page"), TextView(U"counter-style"),
        TextView(U"property"), TextView(U"font-feature-values"), TextView(U"font-palette-values"),
        TextView(U"viewport"), TextView(U"color-profile"), TextView(U"position-try"), TextView(U"view-transition")})
    if (isCssWord(atKeyword, descriptors)) return AtRuleBlock::Descriptors;
  return AtRuleBlock::Rules;
}

bool isHtmlSpace(char32_t c) { return c == U' ' || c == U'\t' || c == U'\n' || c == U'\f' || c == U'\r'; }

}  // namespace

// Blocks nest by recursion; past
// kDeepest levels a block is skipped and counted for every element, so a
// sheet of a million "{" cannot exhaust the stack.
class StyleRules::Reader {
 public:
  Reader(StyleRules& rules, TextView css) : rules_(rules), items_(css) {}

  std::vector<Text> readSheet() {
    readRules(CssContext::TopLevel, 0);
    return std::move(imports_);
  }

 private:
  static constexpr int kDeepest = 64;

  // A list of rules, at the top level or in a block such as @media.
  void readRules(CssContext context, int depth) {
    for (;;) {
      const CssItemEnd end = items_.read(context);
      const std::span<const CssToken> item = items_.tokens();
      if (end == CssItemEnd::OpenCurly) {
        if (!item.empty() && item[0].kind == CssTokenKind::AtKeyword) {
          atRuleBlock(item[0].value, nullptr, depth);
        } else if (item.empty()) {
          items_.skipBlock();  // a rule without selector applies to nothing
        } else {
          styleBlock(selectorSubjects(item, kEvery), depth);
        }
      } else if (context == CssContext::TopLevel && !item.empty() && item[0].kind == CssTokenKind::AtKeyword &&
                 isCssWord(item[0].value, U"import")) {
        if (std::optional<Text> address = importAddress(item.subspan(1))) imports_.push_back(std::move(*address));
      }
      if (end == CssItemEnd::End || end == CssItemEnd::CloseCurly) return;
    }
  }

  // Declarations and nested rules of a style rule whose selector matches `subjects`.
  void styleBlock(const Subjects& subjects, int depth) {
    if (!enter(depth)) return;
    for (;;) {
      const CssItemEnd end = items_.read(CssContext::StyleBlock);
      const std::span<const CssToken> item = items_.tokens();
      if (end == CssItemEnd::OpenCurly) {
        if (!item.empty() && item[0].kind == CssTokenKind::AtKeyword) {
          atRuleBlock(item[0].value, &subjects, depth + 1);
        } else if (item.empty()) {
          items_.skipBlock();
        } else {
          styleBlock(selectorSubjects(item, subjects), depth + 1);
        }
      } else {
        record(subjects, declarationEffects(item));
      }
      if (end == CssItemEnd::End || end == CssItemEnd::CloseCurly) return;
    }
  }

  // The block of an at-rule; `parentRule` is the subjects of the style rule
  // it sits in, null in a list of rules.
  void atRuleBlock(TextView atKeyword, const Subjects* parentRule, int depth) {
    switch (blockOf(atKeyword)) {
      case AtRuleBlock::Descriptors:
        items_.skipBlock();
        return;
      case AtRuleBlock::Scope:
        styleBlock(kEvery, depth + 1);
        return;
      case AtRuleBlock::Rules:
        if (parentRule) {
          styleBlock(*parentRule, depth + 1);
        } else if (enter(depth + 1)) {
          readRules(CssContext::RuleBlock, depth + 1);
        }
        return;
    }
  }

  // Whether a block at `depth` may be read; one too deep counts for every
  // element and is skipped.
  bool enter(int depth) {
    if (depth <= kDeepest) return true;
    rules_.everyElement_ |= StyleEffects{true, true};
    items_.skipBlock();
    return false;
  }

  void record(const Subjects& subjects, StyleEffects effects) {
    if (!effects.any()) return;
    if (subjects.everyElement) {
      rules_.everyElement_ |= effects;
      return;
    }
    for (std::uint64_t key : subjects.keys) rules_.addEntry(key, effects);
  }

  // The address of "@import url(x) ...", "@import url('x') ..." or "@import 'x' ...".
  static std::optional<Text> importAddress(std::span<const CssToken> prelude) {
    std::size_t k = 0;
    while (k < prelude.size() && prelude[k].kind == CssTokenKind::Whitespace) ++k;
    if (k == prelude.size()) return std::nullopt;
    const CssToken& first = prelude[k];
    if (first.kind == CssTokenKind::Url || first.kind == CssTokenKind::String) return Text(first.value);
    if (first.kind != CssTokenKind::Function || !isCssWord(first.value, U"url")) return std::nullopt;
    for (++k; k < prelude.size() && prelude[k].kind == CssTokenKind::Whitespace;) ++k;
    if (k < prelude.size() && prelude[k].kind == CssTokenKind::String) return Text(prelude[k].value);
    return std::nullopt;
  }

  static const Subjects kEvery;

  StyleRules& rules_;
  CssItemReader items_;
  std::vector<Text> imports_;
};

const Subjects StyleRules::Reader::kEvery{};

std::vector<Text> StyleRules::add(TextView css) {
  std::vector<Text> imports = Reader(*this, css).readSheet();
  tidy();
  return imports;
}

void StyleRules::merge(const StyleRules& other) {
  entries_.insert(entries_.end(), other.entries_.begin(), other.entries_.end());
  filter_ |= other.filter_;
  everyElement_ |= other.everyElement_;
  tidy();
}

StyleEffects StyleRules::possibleEffects() const {
  StyleEffects effects = everyElement_;
  for (const Entry& e : entries_) effects |= e.effects;
  return effects;
}

void StyleRules::addEntry(std::uint64_t key, StyleEffects effects) {
  entries_.push_back({key, effects});
  filter_ |= std::uint64_t{1} << (key % 64);
}

void StyleRules::tidy() {
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
  std::size_t kept = 0;
  for (const Entry& e : entries_) {
    if (kept > 0 && entries_[kept - 1].key == e.key) {
      entries_[kept - 1].effects |= e.effects;
    } else {
      entries_[kept++] = e;
    }
  }
  entries_.resize(kept);
}

StyleEffects StyleRules::lookUp(std::uint64_t key) const {
  if (!(filter_ >> (key % 64) & 1)) return {};
  const auto it = std::lower_bound(entries_.begin(), entries_.end(), key,
                                   [](const Entry& e, std::uint64_t k) { return e.key < k; });
  return it != entries_.end() && it->key == key ? it->effects : StyleEffects{};
}

StyleEffects StyleRules::effectsOn(TextView name, TextView classAttribute, TextView id) const {
  StyleEffects effects = everyElement_;
  if (entries_.empty()) return effects;
  effects |= lookUp(subjectKey(SubjectKind::Tag, name));
  if (!id.empty()) effects |= lookUp(subjectKey(SubjectKind::Id, id));
  for (std::size_t k = 0; k < classAttribute.size();) {
    if (isHtmlSpace(classAttribute[k])) {
      ++k;
      continue;
    }
    std::size_t end = k;
    while (end < classAttribute.size() && !isHtmlSpace(classAttribute[end])) ++end;
    effects |= lookUp(subjectKey(SubjectKind::Class, classAttribute.substr(k, end - k)));
    k = end;
  }
  return effects;
}

}  // namespace vantiro
