#pragma once
// How vantiro-cli writes what it reports: tab-separated lines, whose fields
// never hold a tab or a line break, or one JSON object per line.

#include "platform/text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantiro::cli {

// What a command prints: every row, only the failures (and the summary), or
// JSON objects.
enum class OutputStyle { Lines, Quiet, Json };

OutputStyle outputStyle(bool json, bool quiet);

// A field of a tab-separated line in UTF-8, with backslash, tab, line feed
// and carriage return written "\\", "\t", "\n" and "\r", and a byte of a
// name that is not UTF-8 written "\xNN", so that the line stays one line,
// splits into its fields again and gives back every name's bytes.
std::string lineField(TextView text);

// `text` as a quoted JSON string. A character kept for a byte that was not
// part of a character (U+DC80..U+DCFF, as names that are not UTF-8 are read)
// is written as its escape "\udcXX", as every other lone surrogate; control
// characters, quotes and backslashes are escaped, the rest is UTF-8.
std::string jsonString(TextView text);

// One JSON object on one line, built field by field in order.
class JsonLine {
 public:
  JsonLine& text(std::string_view key, TextView value);
  JsonLine& number(std::string_view key, std::int64_t value);
  // null when there is no number.
  JsonLine& number(std::string_view key, std::optional<std::int64_t> value);
  // A saving as column 6 writes it ("32.68%") as the number 32.68; null when empty.
  JsonLine& percentage(std::string_view key, TextView value);
  // null for an empty text.
  JsonLine& textOrNull(std::string_view key, TextView value);
  JsonLine& flag(std::string_view key, bool value);
  // A value already written as JSON (an object or array).
  JsonLine& raw(std::string_view key, std::string_view json);
  JsonLine& nullValue(std::string_view key);
  // The object followed by a line feed.
  std::string line() const;
  // The object alone.
  std::string object() const;

 private:
  void key(std::string_view name);
  std::string body_;
};

}  // namespace vantiro::cli
