#include "platform/page_encoding.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace vantiro {
namespace {

constexpr std::size_t kPrescanBytes = 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool startsWithLower(std::string_view s, std::size_t at, std::string_view lowerPrefix) {
  if (s.size() - at < lowerPrefix.size()) return false;
  for (std::size_t k = 0; k < lowerPrefix.size(); ++k)
    if (lower(s[at + k]) != lowerPrefix[k]) return false;
  return true;
}

struct Attribute {
  std::string name, value;
};

// Reads the attributes of a tag the way a browser's prescan does, names and
// values lower-cased; stops at ">" or at the end of the bytes.
class AttributeReader {
 public:
  AttributeReader(std::string_view s, std::size_t& at) : s_(s), at_(at) {}

  std::optional<Attribute> next() {
    while (at_ < s_.size() && (isSpace(s_[at_]) || s_[at_] == '/')) ++at_;
    if (at_ >= s_.size() || s_[at_] == '>') return std::nullopt;
    Attribute a;
    for (;; ++at_) {
      if (at_ >= s_.size()) return std::nullopt;
      const char c = s_[at_];
      if (c == '=' && !a.name.empty()) break;
      if (isSpace(c)) {
        skipSpaces();
        if (at_ >= s_.size()) return std::nullopt;
        if (s_[at_] != '=') return a;
        break;
      }
      if (c == '/' || c == '>') return a;
      a.name += lower(c);
    }
    ++at_;  // past "="
    skipSpaces();
    if (at_ >= s_.size()) return std::nullopt;
    const char first = s_[at_];
    if (first == '"' || first == '\'') {
      for (++at_; at_ < s_.size() && s_[at_] != first; ++at_) a.value += lower(s_[at_]);
      if (at_ >= s_.size()) return std::nullopt;
      ++at_;
      return a;
    }
    if (first == '>') return a;
    for (; at_ < s_.size() && !isSpace(s_[at_]) && s_[at_] != '>'; ++at_) a.value += lower(s_[at_]);
    if (at_ >= s_.size()) return std::nullopt;
    return a;
  }

 private:
  void skipSpaces() {
    while (at_ < s_.size() && isSpace(s_[at_])) ++at_;
  }

  std::string_view s_;
  std::size_t& at_;
};

// The charset named in a Content-Type value ("text/html; charset=gbk").
std::optional<std::string> charsetInContent(std::string_view v) {
  for (std::size_t at = 0;;) {
    const std::size_t found = v.find("charset", at);
    if (found == std::string_view::npos) return std::nullopt;
    std::size_t i = found + 7;
    while (i < v.size() && isSpace(v[i])) ++i;
    if (i >= v.size() || v[i] != '=') {
      at = i;
      continue;
    }
    ++i;
    while (i < v.size() && isSpace(v[i])) ++i;
    if (i >= v.size()) return std::nullopt;
    if (v[i] == '"' || v[i] == '\'') {
      const std::size_t close = v.find(v[i], i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      return std::string(v.substr(i + 1, close - i - 1));
    }
    std::size_t end = i;
    while (end < v.size() && !isSpace(v[end]) && v[end] != ';') ++end;
    if (end == i) return std::nullopt;
    return std::string(v.substr(i, end - i));
  }
}

// The charset of one <meta> tag whose attributes start at `at`.
std::optional<std::string> metaCharset(std::string_view s, std::size_t& at) {
  AttributeReader reader(s, at);
  std::vector<std::string> seen;
  bool gotPragma = false;
  std::optional<bool> needPragma;
  std::optional<std::string> charset;
  while (auto a = reader.next()) {
    if (std::find(seen.begin(), seen.end(), a->name) != seen.end()) continue;
    seen.push_back(a->name);
    if (a->name == "http-equiv") {
      gotPragma = gotPragma || a->value == "content-type";
    } else if (a->name == "content" && !charset) {
      if ((charset = charsetInContent(a->value))) needPragma = true;
    } else if (a->name == "charset") {
      charset = a->value;
      needPragma = false;
    }
  }
  if (!needPragma || (*needPragma && !gotPragma)) return std::nullopt;
  return charset;
}

// The encoding="..." of an XML declaration at the very start of the page.
std::optional<std::string> xmlDeclarationEncoding(std::string_view s) {
  if (!s.starts_with("<?xml") || s.size() < 6 || !isSpace(s[5])) return std::nullopt;
  const std::size_t end = s.find("?>");
  const std::string_view declaration = s.substr(0, end);
  std::size_t i = declaration.find("encoding");
  if (i == std::string_view::npos) return std::nullopt;
  i += 8;
  while (i < declaration.size() && isSpace(declaration[i])) ++i;
  if (i >= declaration.size() || declaration[i] != '=') return std::nullopt;
  ++i;
  while (i < declaration.size() && isSpace(declaration[i])) ++i;
  if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return std::nullopt;
  const std::size_t close = declaration.find(declaration[i], i + 1);
  if (close == std::string_view::npos) return std::nullopt;
  std::string label(declaration.substr(i + 1, close - i - 1));
  for (char& c : label) c = lower(c);
  return label;
}

// The code page of a declared label, or null when the label means nothing
// known (the next declaration is tried, then the page's bytes). Throws std::invalid_argument
// for an encoding the program refuses.
const CodePage* declaredCodePage(const std::string& label) {
  const std::optional<std::string> name = encodingForLabel(label);
  if (!name) return nullptr;
  if (name->empty()) throw std::invalid_argument("页面的编码 " + label + " 不能处理");
  try {
    return &CodePage::named(*name);
  } catch (const std::runtime_error&) {
    return nullptr;  // iconv does not know it here
  }
}

}  // namespace

namespace {

// Calls `take` with every label the page declares, in order, until it
// returns true: the first label the program can use decides, and the rest of
// the prescan need not be read.
template <typename Take>
void readDeclaredLabels(std::string_view bytes, Take&& take) {
  const std::string_view s = bytes.substr(0, std::min(bytes.size(), kPrescanBytes));
  if (auto label = xmlDeclarationEncoding(s))
    if (take(std::move(*label))) return;
  for (std::size_t at = 0; at < s.size();) {
    if (s[at] != '<') {
      ++at;
      continue;
    }
    if (s.compare(at, 4, "<!--") == 0) {
      const std::size_t close = s.find("-->", at + 2);
      if (close == std::string_view::npos) return;
      at = close + 3;
    } else if (startsWithLower(s, at, "<meta") && at + 5 < s.size() && (isSpace(s[at + 5]) || s[at + 5] == '/')) {
      at += 5;
      if (auto charset = metaCharset(s, at))
        if (take(std::move(*charset))) return;
    } else if (at + 1 < s.size() && (isLetter(s[at + 1]) || (s[at + 1] == '/' && at + 2 < s.size() && isLetter(s[at + 2])))) {
      while (at < s.size() && !isSpace(s[at]) && s[at] != '>') ++at;
      AttributeReader reader(s, at);
      while (reader.next()) {
      }
    } else if (at + 1 < s.size() && (s[at + 1] == '!' || s[at + 1] == '/' || s[at + 1] == '?')) {
      const std::size_t close = s.find('>', at + 1);
      if (close == std::string_view::npos) return;
      at = close + 1;
    } else {
      ++at;
    }
  }
}

}  // namespace

std::vector<std::string> declaredLabels(std::string_view bytes) {
  std::vector<std::string> labels;
  readDeclaredLabels(bytes, [&](std::string label) {
    labels.push_back(std::move(label));
    return false;
  });
  return labels;
}

PageEncoding detectPageEncoding(std::string_view bytes, bool head) {
  PageEncoding result;
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    result.codePage = &CodePage::utf8();
    result.source = EncodingSource::ByteOrderMark;
    return result;
  }
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    result.source = EncodingSource::ByteOrderMark;
    result.refusal = "页面为 UTF-16 编码，不能处理";
    return result;
  }
  // A label the program does not know (or iconv cannot read) is passed over
  // for the next declaration, as a browser's prescan passes over it.
  bool declared = false;
  readDeclaredLabels(bytes, [&](const std::string& label) {
    try {
      result.codePage = declaredCodePage(label);
    } catch (const std::invalid_argument& refused) {
      result.refusal = refused.what();
    }
    declared = result.codePage != nullptr || !result.refusal.empty();
    return declared;
  });
  if (declared) {
    result.source = EncodingSource::Declared;
    return result;
  }
  const Utf8Scan scan = scanUtf8(bytes, head);
  if (scan.valid && scan.nonAscii) {
    result.codePage = &CodePage::utf8();
    result.source = EncodingSource::ValidUtf8;
    return result;
  }
  result.codePage = &CodePage::ansi();
  return result;
}

PageText decodePage(std::string_view bytes) {
  const PageEncoding encoding = detectPageEncoding(bytes);
  if (encoding.codePage == nullptr) throw EncodingRefused(encoding.refusal);
  return PageText{encoding.codePage->decode(bytes), encoding.codePage, encoding.source};
}

}  // namespace vantiro
