#include "platform/code_page.h"

#include "platform/ascii_runs.h"

#include <iconv.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vantiro {
namespace {

constexpr char32_t kEscapeBase = 0xDC00;
const std::string kQuestionMark = "?";

bool isEscapedByte(char32_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

std::string upperName(std::string s) {
  for (auto& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

char32_t utf32le(const unsigned char* b) {
  return static_cast<char32_t>(b[0]) | static_cast<char32_t>(b[1]) << 8 | static_cast<char32_t>(b[2]) << 16 |
         static_cast<char32_t>(b[3]) << 24;
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
    const char32_t cp = utf32le(out);
    return cp == 0 && !(bytes.size() == 1 && bytes[0] == 0) ? 0 : cp;
  }

  // What one() gives for each two-byte pair of `pairs`, in one conversion
  // where it can: a table's pairs are tens of thousands, and converting them
  // one call each was most of a short run's start. A stateless code page
  // turns every valid pair into one character and stops at an invalid one,
  // which one() then looks at alone; where the characters do not come out one
  // a pair, each pair of the stretch is converted on its own instead.
  std::vector<char32_t> eachPair(std::string_view pairs) const {
    const std::size_t count = pairs.size() / 2;
    std::vector<char32_t> cps(count, 0);
    std::vector<char> in(pairs.begin(), pairs.end());
    std::vector<unsigned char> out(4 * (count + 4));
    const auto alone = [&](std::size_t k) { cps[k] = one(pairs.substr(2 * k, 2)); };
    for (std::size_t first = 0; first < count;) {
      char* ip = in.data() + 2 * first;
      std::size_t il = 2 * (count - first);
      char* op = reinterpret_cast<char*>(out.data());
      std::size_t ol = out.size();
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      const bool whole = iconv(cd_, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && il == 0;
      const auto consumed = static_cast<std::size_t>(ip - (in.data() + 2 * first));
      const std::size_t made = (out.size() - ol) / 4;
      const std::size_t stop = whole ? count : first + consumed / 2;
      if (consumed % 2 != 0 || made != stop - first) {
        for (std::size_t k = first; k < stop; ++k) alone(k);
      } else {
        for (std::size_t k = first; k < stop; ++k) cps[k] = utf32le(out.data() + 4 * (k - first));
      }
      if (stop < count) alone(stop);
      first = stop + 1;
    }
    return cps;
  }

 private:
  iconv_t cd_;
};

char32_t packBytes(std::string_view bytes) {
  char32_t v = 0;
  for (char b : bytes) v = (v << 8) | static_cast<unsigned char>(b);
  return v;
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

// Whether `tail` (one to three bytes) begins a UTF-8 character that more bytes
// could complete.
bool isCutUtf8Char(std::string_view tail) {
  const auto b0 = static_cast<unsigned char>(tail[0]);
  const std::size_t len = b0 >= 0xC2 && b0 <= 0xDF ? 2 : b0 >= 0xE0 && b0 <= 0xEF ? 3 : b0 >= 0xF0 && b0 <= 0xF4 ? 4 : 0;
  if (len == 0 || tail.size() >= len) return false;
  for (std::size_t k = 1; k < tail.size(); ++k)
    if ((static_cast<unsigned char>(tail[k]) & 0xC0) != 0x80) return false;
  return true;
}

// A table code page's bytes for a character, as encodeBmp_ holds them: the
// first byte low, so that they can be stored as they are.
std::uint16_t tableBytes(std::string_view bytes) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[0]) |
                                    (bytes.size() > 1 ? static_cast<unsigned char>(bytes[1]) << 8 : 0));
}

// Writes the one or two bytes tableBytes() packed (and, after one, a byte of
// no use); returns the end of the character.
char* putTableBytes(std::uint16_t bytes, char* o) {
  o[0] = static_cast<char>(bytes & 0xFF);
  o[1] = static_cast<char>(bytes >> 8);
  return o + (bytes > 0xFF ? 2 : 1);
}

// A character from U+0080 on as UTF-8 (beyond U+10FFFF in the same pattern);
// returns the end of its bytes.
char* putUtf8(char32_t c, char* o) {
  if (c < 0x800) {
    *o++ = static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (c >> 12));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (c >> 18));
    *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  *o++ = static_cast<char>(0x80 | (c & 0x3F));
  return o;
}

// Writes `text`, ASCII runs a block at a time and each character above ASCII
// with putWide, at o, which has room for four bytes a character;
// returns the end of what it wrote.
template <typename PutWide>
char* encodeRuns(TextView text, char* o, PutWide putWide) {
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const std::size_t ascii = ascii::narrowRun(text.data() + i, n - i, o);
    i += ascii;
    o += ascii;
    for (; i < n && text[i] >= 0x80; ++i) o = putWide(text[i], o);
  }
  return o;
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
  encodeBmp_.assign(0x10000, 0);
  std::vector<bool> claimed(0x110000, false);
  // A code point already taken by another byte sequence would not encode
  // back to these bytes: the sequence gets a value of its own. The first
  // sequence of a code point is the one it is written as.
  auto claim = [&](char32_t cp, std::string_view bytes) -> char32_t {
    if (cp == 0 || cp >= claimed.size() || isEscapedByte(cp) || claimed[cp]) return kUnmappedBase + packBytes(bytes);
    claimed[cp] = true;
    const std::uint16_t packed = tableBytes(bytes);
    if (cp < 0x10000)
      encodeBmp_[cp] = packed;
    else
      encodeBeyondBmp_[cp] = packed;
    return cp;
  };
  for (char32_t b = 0; b < 0x80; ++b) claimed[b] = true;  // ASCII is itself
  // An escaped byte is written as that byte: the lookup of every other
  // character serves it too.
  for (char32_t b = 0x80; b < 0x100; ++b) encodeBmp_[kEscapeBase + b] = static_cast<std::uint16_t>(b);
  for (int b = 0x80; b < 0x100; ++b) {
    char c = static_cast<char>(b);
    char32_t cp = dec.one(std::string_view(&c, 1));
    if (cp) single_[static_cast<std::size_t>(b)] = claim(cp, std::string_view(&c, 1));
  }
  constexpr int kFirstTrail = 0x30;
  std::string pairs;
  for (int l = 0x81; l < 0xFF; ++l)
    if (!single_[static_cast<std::size_t>(l)])
      for (int t = kFirstTrail; t < 0x100; ++t) pairs += {static_cast<char>(l), static_cast<char>(t)};
  const std::vector<char32_t> cps = dec.eachPair(pairs);
  for (std::size_t k = 0; k < cps.size(); ++k) {
    if (!cps[k]) continue;
    const auto l = static_cast<unsigned char>(pairs[2 * k]), t = static_cast<unsigned char>(pairs[2 * k + 1]);
    pairs_[l * 256u + t] = claim(cps[k], std::string_view(pairs).substr(2 * k, 2));
  }
}

Text CodePage::decode(std::string_view bytes) const {
  Text out;
  out.resize(bytes.size());
  out.resize(decodeInto(bytes, out.data()).characters);
  return out;
}

CodePage::Decoded CodePage::decodeInto(std::string_view bytes, char32_t* const o) const {
  if (kind_ == Kind::Generic) return decodeGeneric(bytes, o);
  const std::size_t n = bytes.size();
  const auto* const in = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t w = 0;
  std::size_t undecodable = 0;
  for (std::size_t i = 0; i < n;) {
    const std::size_t ascii = ascii::widenRun(bytes.data() + i, n - i, o + w);
    w += ascii;
    i += ascii;
    // What the blocks left: a run's end in the last bytes, then the characters
    // above ASCII up to the next ASCII byte, which go back to the blocks.
    for (; i < n && in[i] < 0x80 && n - i < 16; ++i) o[w++] = in[i];
    while (i < n && in[i] >= 0x80) {
      const unsigned char b = in[i];
      if (kind_ == Kind::Table) {
        // pairs_ holds 0 for every pair whose first byte leads none.
        if (i + 1 < n) {
          if (const char32_t cp = pairs_[b * 256u + in[i + 1]]) {
            o[w++] = cp;
            i += 2;
            continue;
          }
        }
        const char32_t single = single_[b];
        undecodable += single == 0;
        o[w++] = single ? single : kEscapeBase + b;
        ++i;
        continue;
      }
      char32_t cp;
      const std::size_t len = utf8Char(bytes, i, cp);
      if (len == 0) {
        o[w++] = kEscapeBase + b;
        ++undecodable;
        ++i;
      } else {
        o[w++] = cp;
        i += len;
      }
    }
  }
  return {w, undecodable};
}

CodePage::Decoded CodePage::decodeGeneric(std::string_view bytes, char32_t* const out) const {
  IconvDecoder dec(name_);
  std::size_t w = 0;
  std::size_t undecodable = 0;
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
      out[w++] = cp;
      i += len;
    } else if (len > 1) {
      out[w++] = kUnmappedBase + packBytes(bytes.substr(i, len));
      i += len;
    } else {
      auto b = static_cast<unsigned char>(bytes[i]);
      if (b >= 0x80) ++undecodable;
      out[w++] = b < 0x80 ? b : kEscapeBase + b;
      ++i;
    }
  }
  return {w, undecodable};
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
  encodeAppend(text, out);
  return out;
}

char* CodePage::encodeWide(char32_t c, char* o) const {
  if (isEscapedByte(c)) {
    *o++ = static_cast<char>(c - kEscapeBase);
  } else if (c >= kUnmappedBase) {
    char32_t v = c - kUnmappedBase;
    char bytes[4];
    std::size_t k = 0;
    for (; v != 0 && k < 4; v >>= 8) bytes[k++] = static_cast<char>(v & 0xFF);
    while (k > 0) *o++ = bytes[--k];
  } else if (kind_ == Kind::Utf8) {
    o = putUtf8(c, o);
  } else if (const std::uint16_t bytes = c < encodeBmp_.size() ? encodeBmp_[c] : 0; bytes != 0) {
    o = putTableBytes(bytes, o);
  } else {
    const auto it = encodeBeyondBmp_.find(c);
    o = putTableBytes(it != encodeBeyondBmp_.end() ? it->second : '?', o);
  }
  return o;
}

char* CodePage::encodeTo(TextView text, char* const out) const {
  const std::size_t ascii = ascii::narrowWhole(text.data(), text.size(), out);
  return ascii == text.size() ? out + ascii : encodeMixed(text.substr(ascii), out + ascii);
}

char* CodePage::encodeMixed(TextView text, char* const out) const {
  // The common characters above ASCII are written here, without a call; the
  // rest (escapes, values of their own, characters beyond the BMP in a
  // table) by encodeWide.
  if (kind_ == Kind::Utf8) {
    return encodeRuns(text, out, [this](char32_t c, char* o) {
      return isEscapedByte(c) || c >= kUnmappedBase ? encodeWide(c, o) : putUtf8(c, o);
    });
  }
  // Kept apart from the member: a write through `o` could be to it, as far as
  // the compiler knows, and it would be read again for every character.
  const std::uint16_t* const bmp = encodeBmp_.data();
  const std::size_t bmpSize = encodeBmp_.size();
  return encodeRuns(text, out, [this, bmp, bmpSize](char32_t c, char* o) {
    const std::uint16_t bytes = c < bmpSize ? bmp[c] : 0;
    return bytes != 0 ? putTableBytes(bytes, o) : encodeWide(c, o);
  });
}

void CodePage::encodeAppend(TextView text, std::string& out) const {
  const std::size_t n = text.size();
  if (n == 0) return;
  std::size_t w = out.size();
  if (kind_ != Kind::Generic) {
    out.resize(w + kMaxCharBytes * n);
    out.resize(static_cast<std::size_t>(encodeTo(text, out.data() + w) - out.data()));
    return;
  }
  // Room for one byte a character to begin with; grown when characters of
  // several bytes need more.
  out.resize(w + n + 16);
  // When short, room for four bytes a character for the rest of the text, so
  // that one text grows `out` at most once.
  std::size_t i = 0;
  const auto room = [&](std::size_t bytes) {
    if (w + bytes > out.size()) out.resize(w + bytes + 4 * (n - i) + 16);
  };
  const char32_t* const d = text.data();
  while (i < n) {
    const char32_t c = d[i];
    if (c < 0x80) {
      room(n - i);  // at most one byte each for the rest of an ASCII run
      const std::size_t moved = ascii::narrowRun(d + i, n - i, out.data() + w);
      w += moved;
      i += moved;
      continue;
    }
    ++i;
    std::string bytes;
    if (isEscapedByte(c)) {
      bytes = static_cast<char>(c - kEscapeBase);
    } else if (c >= kUnmappedBase) {
      for (char32_t v = c - kUnmappedBase; v != 0; v >>= 8) bytes.insert(bytes.begin(), static_cast<char>(v & 0xFF));
    } else {
      encodeGeneric(c, bytes);
      if (bytes.empty()) bytes = kQuestionMark;
    }
    room(bytes.size());
    for (char b : bytes) out[w++] = b;
  }
  out.resize(w);
}

std::string CodePage::configuredName() {
  const char* name = std::getenv("VANTIRO_CODEPAGE");
  return name && *name ? name : "GBK";
}

const CodePage& CodePage::ansi() {
  static const CodePage page(configuredName());
  return page;
}

const CodePage& CodePage::utf8() {
  static const CodePage page("UTF-8");
  return page;
}

const CodePage& CodePage::named(const std::string& name) {
  const std::string upper = upperName(name);
  if (upper == "UTF-8" || upper == "UTF8") return utf8();
  if (upper == upperName(configuredName())) return ansi();
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<const CodePage>> built;
  const std::lock_guard lock(mutex);
  auto& page = built[upper];
  if (!page) page = std::make_unique<const CodePage>(name);
  return *page;
}

bool CodePage::asciiCompatible() const {
  if (kind_ == Kind::Utf8) return true;
  for (char32_t c = 0; c < 0x80; ++c) {
    std::string bytes;
    encodeGeneric(c, bytes);
    if (bytes.size() != 1 || static_cast<char32_t>(static_cast<unsigned char>(bytes[0])) != c) return false;
  }
  // A stateful encoding shifts with an ASCII byte (ESC) before its other characters.
  for (char32_t c : {U'\u00E9', U'\u0416', U'\u20AC', U'\u4E2D', U'\u65E5', U'\uAC00'}) {
    std::string bytes;
    encodeGeneric(c, bytes);
    if (!bytes.empty() && static_cast<unsigned char>(bytes[0]) < 0x80) return false;
  }
  return true;
}

bool CodePage::canEncode(TextView text) const {
  for (char32_t c : text) {
    if (c < 0x80 || isEscapedByte(c) || c >= kUnmappedBase) continue;
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    if (kind_ == Kind::Utf8) continue;
    if (kind_ == Kind::Table) {
      if ((c < encodeBmp_.size() && encodeBmp_[c] != 0) || encodeBeyondBmp_.count(c)) continue;
      return false;
    }
    std::string bytes;
    encodeGeneric(c, bytes);
    if (bytes.empty()) return false;
  }
  return true;
}

std::optional<std::string> configuredCodePageRefusal() { return codePageRefusal(CodePage::configuredName()); }

std::optional<std::string> codePageRefusal(const std::string& name) {
  static const std::string kChooseAnother = "请设置一个与 ASCII 兼容的编码（例如 GBK 或 UTF-8）。";
  try {
    if (CodePage::named(name).asciiCompatible()) return std::nullopt;
  } catch (const std::runtime_error&) {
    return "VANTIRO_CODEPAGE=" + name + "：系统不认识这个编码。\n" + kChooseAnother;
  }
  return "VANTIRO_CODEPAGE=" + name + "：这个编码与 ASCII 不兼容，页面会被写成混合的编码。\n" + kChooseAnother;
}

Utf8Scan scanUtf8(std::string_view bytes, bool cutAtEnd) {
  Utf8Scan scan;
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
#if defined(__SSE2__)
    if (i + 16 <= n &&
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i))) == 0) {
      i += 16;
      continue;
    }
#endif
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    scan.nonAscii = true;
    char32_t cp;
    const std::size_t len = utf8Char(bytes, i, cp);
    if (len == 0) {
      // A character the end cut short: its lead and trail bytes are all right so far.
      if (cutAtEnd && n - i < 4 && isCutUtf8Char(bytes.substr(i))) break;
      scan.valid = false;
      break;
    }
    i += len;
  }
  return scan;
}

Text decodeAnsi(std::string_view bytes) { return CodePage::ansi().decode(bytes); }
std::string encodeAnsi(TextView text) { return CodePage::ansi().encode(text); }

}  // namespace vantiro
