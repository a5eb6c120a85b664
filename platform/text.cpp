#include "platform/text.h"

namespace vantiro {

char32_t upperAscii(char32_t c) { return (c >= U'a' && c <= U'z') ? c - 32 : c; }

Text upperAscii(TextView s) {
  Text out(s);
  for (auto& c : out) c = upperAscii(c);
  return out;
}

Text trimLeadingSpaces(TextView s) {
  std::size_t b = 0;
  while (b < s.size() && s[b] == U' ') ++b;
  return Text(s.substr(b));
}

Text trimTrailingSpaces(TextView s) {
  std::size_t e = s.size();
  while (e > 0 && s[e - 1] == U' ') --e;
  return Text(s.substr(0, e));
}

Text trimSpaces(TextView s) {
  std::size_t b = 0, e = s.size();
  while (b < e && s[b] == U' ') ++b;
  while (e > b && s[e - 1] == U' ') --e;
  return Text(s.substr(b, e - b));
}

namespace {

template <typename Line, typename View, typename Char>
std::vector<Line> splitLines(View text, const Char* lineBreak) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(lineBreak, start);
    if (end == View::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

}  // namespace

std::vector<Text> splitCrLfLines(TextView text) { return splitLines<Text>(text, U"\r\n"); }

std::vector<std::string_view> splitCrLfLines(std::string_view bytes) {
  return splitLines<std::string_view>(bytes, "\r\n");
}

bool isBlank(TextView s) {
  for (char32_t c : s)
    if (c != U' ' && c != U'\t' && c != U'\r' && c != U'\n') return false;
  return true;
}

Text fromUtf8(std::string_view in) {
  Text out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size();) {
    auto b = static_cast<unsigned char>(in[i]);
    int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    bool ok = len != 0 && i + static_cast<std::size_t>(len) <= in.size();
    for (int k = 1; ok && k < len; ++k) {
      auto t = static_cast<unsigned char>(in[i + static_cast<std::size_t>(k)]);
      ok = (t & 0xC0) == 0x80;
      cp = (cp << 6) | (t & 0x3F);
    }
    if (!ok) {
      out.push_back(0xDC00 + b);  // keep a stray byte recognisable instead of dropping it
      ++i;
      continue;
    }
    out.push_back(cp);
    i += static_cast<std::size_t>(len);
  }
  return out;
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

std::string toUtf8(TextView text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c >= 0xDC80 && c <= 0xDCFF) c = 0xFFFD;  // an undecodable byte shows as a replacement mark
    if (c > 0x10FFFF) c = 0xFFFD;
    appendUtf8(c, out);
  }
  return out;
}

Text toText(long long number) { return fromUtf8(std::to_string(number)); }

}  // namespace vantiro
