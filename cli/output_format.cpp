#include "cli/output_format.h"

#include <cstdio>

namespace vantiro::cli {

OutputStyle outputStyle(bool json, bool quiet) {
  if (json) return OutputStyle::Json;
  return quiet ? OutputStyle::Quiet : OutputStyle::Lines;
}

std::string lineField(TextView text) {
  std::string out;
  out.reserve(text.size());
  std::size_t plain = 0;
  auto flushPlain = [&](std::size_t end) { out += toUtf8(text.substr(plain, end - plain)); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    char byte[8];
    const char* escape = text[i] == U'\\'   ? "\\\\"
                         : text[i] == U'\t' ? "\\t"
                         : text[i] == U'\n' ? "\\n"
                         : text[i] == U'\r' ? "\\r"
                                            : nullptr;
    // A byte of a name that is not UTF-8 is kept as U+DC80..U+DCFF: written
    // "\xNN", a script gets the name's exact bytes back.
    if (text[i] >= 0xDC80 && text[i] <= 0xDCFF) {
      std::snprintf(byte, sizeof byte, "\\x%02X", static_cast<unsigned>(text[i] - 0xDC00));
      escape = byte;
    }
    if (escape == nullptr) continue;
    flushPlain(i);
    out += escape;
    plain = i + 1;
  }
  flushPlain(text.size());
  return out;
}

std::string jsonString(TextView text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  for (char32_t c : text) {
    char escape[8];
    if (c == U'"' || c == U'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == U'\n') {
      out += "\\n";
    } else if (c == U'\t') {
      out += "\\t";
    } else if (c == U'\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F || (c >= 0xD800 && c <= 0xDFFF)) {
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
      out += escape;
    } else if (c > 0x10FFFF) {
      out += "\\ufffd";
    } else {
      out += toUtf8(TextView(&c, 1));
    }
  }
  out += '"';
  return out;
}

void JsonLine::key(std::string_view name) {
  body_ += body_.empty() ? "" : ",";
  body_ += '"';
  body_ += name;
  body_ += "\":";
}

JsonLine& JsonLine::text(std::string_view name, TextView value) {
  key(name);
  body_ += jsonString(value);
  return *this;
}

JsonLine& JsonLine::number(std::string_view name, std::int64_t value) {
  key(name);
  body_ += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::number(std::string_view name, std::optional<std::int64_t> value) {
  return value ? number(name, *value) : nullValue(name);
}

JsonLine& JsonLine::percentage(std::string_view name, TextView value) {
  if (value.empty()) return nullValue(name);
  key(name);
  body_ += toUtf8(value.ends_with(U'%') ? value.substr(0, value.size() - 1) : value);
  return *this;
}

JsonLine& JsonLine::textOrNull(std::string_view name, TextView value) {
  return value.empty() ? nullValue(name) : text(name, value);
}

JsonLine& JsonLine::flag(std::string_view name, bool value) {
  key(name);
  body_ += value ? "true" : "false";
  return *this;
}

JsonLine& JsonLine::raw(std::string_view name, std::string_view json) {
  key(name);
  body_ += json;
  return *this;
}

JsonLine& JsonLine::nullValue(std::string_view name) {
  key(name);
  body_ += "null";
  return *this;
}

std::string JsonLine::object() const { return "{" + body_ + "}"; }

std::string JsonLine::line() const { return object() + "\n"; }

}  // namespace vantiro::cli
