#include "platform/code_page.h"

#include <iconv.h>

#include <cstdlib>
#include <stdexcept>

namespace vantiro {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;

bool isEscapedByte(char32_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

std::string upperName(std::string s) {
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

// One iconv conversion from the code page to UTF-32; thread-confined use only.
class IconvDecoder {
 public:
  explicit IconvDecoder(const std::string& from) : cd_(iconv_open("UTF-32LE", from.c_str())) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("unknown code page: " + from);
  }
  ~IconvDecoder() { iconv_close(cd_); }
  IconvDecoder(const IconvDecoder&) = delete;
  IconvDecoder& operator=(const IconvDecoder&) = delete;

  // The single code point the whole of `bytes` decodes to, or 0 when it is
  // not exactly one character.
  char32_t one(std::string_view bytes) const {
    char in[8];
    unsigned char out[16];
    if (bytes.size() > sizeof in) return 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) in[i] = bytes[i];
    char* ip = in;
    char* op = reinterpret_cast<char*>(out);
    std::size_t il = bytes.size(), ol = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1) || il != 0) return 0;
    if (sizeof out - ol != 4) return 0;
    char32_t cp = static_cast<char32_t>(out[0]) | static_cast<char32_t>(out[1]) << 8 |
                  static_cast<char32_t>(out[2]) << 16 | static_cast<char32_t>(out[3]) << 24;
    return cp == 0 && !(bytes.size() == 1 && bytes[0] == 0) ? 0 : cp;
  }

 private:
  iconv_t cd_;
};

char32_t packBytes(std::string_view bytes) {
  char32_t v = 0;
  for (char b : bytes) v = (v << 8) | static_cast<unsigned char>(b);
  return v;
}

void appendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Returns the length of the character at `i`, 0 when the byte starts none.
std::size_t utf8Char(std::string_view s, std::size_t i, char32_t& cp) {
  auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  std::size_t len;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, min = 0x80, cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, min = 0x800, cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, min = 0x10000, cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (t & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

CodePage::CodePage(const std::string& name) : name_(name) {
  const std::string upper = upperName(name);
  if (upper == "UTF-8" || upper == "UTF8") {
    kind_ = Kind::Utf8;
    return;
  }
  IconvDecoder probe(name);  // throws for an unknown name
  if (upper == "GB18030" || upper.rfind("UTF", 0) == 0 || upper.rfind("UCS", 0) == 0) {
    kind_ = Kind::Generic;  // characters of up to four bytes
    return;
  }
  buildTable();
}

void CodePage::buildTable() {
  IconvDecoder dec(name_);
  pairs_.assign(256 * 256, 0);
  std::unordered_map<char32_t, bool> claimed;
  auto claim = [&](char32_t cp, std::string_view bytes) -> char32_t {
    // A code point already taken by another byte sequence would not encode
    // back to these bytes: give the sequence a value of its own.
    if (cp == 0 || isEscapedByte(cp) || claimed.count(cp)) return kUnmappedBase + packBytes(bytes);
    claimed[cp] = true;
    return cp;
  };
  for (int b = 0; b < 0x80; ++b) claimed[static_cast<char32_t>(b)] = true;  // ASCII is itself
  for (int b = 0x80; b < 0x100; ++b) {
    char c = static_cast<char>(b);
    char32_t cp = dec.one(std::string_view(&c, 1));
    if (cp) single_[static_cast<std::size_t>(b)] = claim(cp, std::string_view(&c, 1));
  }
  for (int l = 0x81; l < 0xFF; ++l) {
    if (single_[static_cast<std::size_t>(l)]) continue;
    for (int t = 0x30; t < 0x100; ++t) {
      char pair[2] = {static_cast<char>(l), static_cast<char>(t)};
      char32_t cp = dec.one(std::string_view(pair, 2));
      if (!cp) continue;
      lead_[static_cast<std::size_t>(l)] = true;
      pairs_[static_cast<std::size_t>(l * 256 + t)] = claim(cp, std::string_view(pair, 2));
    }
  }
  for (int b = 0x80; b < 0x100; ++b)
    if (char32_t cp = single_[static_cast<std::size_t>(b)]) encodeMap_[cp] = std::string(1, static_cast<char>(b));
  for (int l = 0x81; l < 0xFF; ++l)
    for (int t = 0x30; t < 0x100; ++t)
      if (char32_t cp = pairs_[static_cast<std::size_t>(l * 256 + t)])
        encodeMap_[cp] = std::string{static_cast<char>(l), static_cast<char>(t)};
}

Text CodePage::decode(std::string_view bytes) const {
  Text out;
  out.reserve(bytes.size());
  const std::size_t n = bytes.size();
  switch (kind_) {
    case Kind::Table:
      for (std::size_t i = 0; i < n;) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
          out.push_back(b);
          ++i;
          continue;
        }
        if (lead_[b] && i + 1 < n) {
          if (char32_t cp = pairs_[b * 256u + static_cast<unsigned char>(bytes[i + 1])]) {
            out.push_back(cp);
            i += 2;
            continue;
          }
        }
        out.push_back(single_[b] ? single_[b] : kEscapeBase + b);
        ++i;
      }
      break;
    case Kind::Utf8:
      for (std::size_t i = 0; i < n;) {
        char32_t cp;
        std::size_t len = utf8Char(bytes, i, cp);
        if (len == 0) {
          out.push_back(kEscapeBase + static_cast<unsigned char>(bytes[i]));
          ++i;
        } else {
          out.push_back(cp);
          i += len;
        }
      }
      break;
    case Kind::Generic:
      decodeGeneric(bytes, out);
      break;
  }
  return out;
}

void CodePage::decodeGeneric(std::string_view bytes, Text& out) const {
  IconvDecoder dec(name_);
  for (std::size_t i = 0; i < bytes.size();) {
    std::size_t len = 0;
    char32_t cp = 0;
    for (std::size_t k = 1; k <= 4 && i + k <= bytes.size(); ++k) {
      cp = dec.one(bytes.substr(i, k));
      if (cp) {
        len = k;
        break;
      }
    }
    std::string back;
    if (len) encodeGeneric(cp, back);
    if (len && back == bytes.substr(i, len) && !isEscapedByte(cp)) {
      out.push_back(cp);
      i += len;
    } else if (len > 1) {
      out.push_back(kUnmappedBase + packBytes(bytes.substr(i, len)));
      i += len;
    } else {
      auto b = static_cast<unsigned char>(bytes[i]);
      out.push_back(b < 0x80 ? b : kEscapeBase + b);
      ++i;
    }
  }
}

void CodePage::encodeGeneric(char32_t c, std::string& out) const {
  std::string utf8;
  appendUtf8(c, utf8);
  iconv_t cd = iconv_open(name_.c_str(), "UTF-8");
  char buf[16];
  char* ip = utf8.data();
  char* op = buf;
  std::size_t il = utf8.size(), ol = sizeof buf;
  if (iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0)
    out.append(buf, sizeof buf - ol);
  iconv_close(cd);
}

std::string CodePage::encode(TextView text) const {
  std::string out;
  out.reserve(text.size() + text.size() / 2);
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (isEscapedByte(c)) {
      out.push_back(static_cast<char>(c - kEscapeBase));
    } else if (c >= kUnmappedBase) {
      char32_t v = c - kUnmappedBase;
      std::string bytes;
      while (v) {
        bytes.insert(bytes.begin(), static_cast<char>(v & 0xFF));
        v >>= 8;
      }
      out += bytes;
    } else if (kind_ == Kind::Utf8) {
      appendUtf8(c, out);
    } else if (kind_ == Kind::Table) {
      auto it = encodeMap_.find(c);
      out += it != encodeMap_.end() ? it->second : std::string("?");
    } else {
      std::size_t before = out.size();
      encodeGeneric(c, out);
      if (out.size() == before) out.push_back('?');
    }
  }
  return out;
}

const CodePage& CodePage::ansi() {
  static const CodePage page = [] {
    const char* name = std::getenv("VANTIRO_CODEPAGE");
    return CodePage(name && *name ? name : "GBK");
  }();
  return page;
}

Text decodeAnsi(std::string_view bytes) { return CodePage::ansi().decode(bytes); }
std::string encodeAnsi(TextView text) { return CodePage::ansi().encode(text); }

}  // namespace vantiro
