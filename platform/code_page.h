#pragma once
// The "ANSI code page" pages and the program's own files are written in.
// GBK unless VANTIRO_CODEPAGE names another encoding iconv knows.
//
// Decoding never loses a byte: a character of the code page becomes its
// Unicode code point; a byte that starts no valid character becomes the lone
// surrogate 0xDC00 + byte; a valid character whose code point another byte
// sequence already claims becomes kUnmappedBase + its packed bytes. Encoding
// turns each back into the very same bytes, so decode-then-encode is the
// identity for every input.

#include "platform/text.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vantiro {

class CodePage {
 public:
  static constexpr char32_t kUnmappedBase = 0x40000000;

  // Throws std::runtime_error when iconv does not know the name.
  explicit CodePage(const std::string& name);

  // The code page of this process (VANTIRO_CODEPAGE, else GBK). Throws
  // std::runtime_error when that names no encoding iconv knows.
  static const CodePage& ansi();
  // The name ansi() is built from.
  static std::string configuredName();
  // The code page called `name`, built once per process and kept: building a
  // table costs thousands of conversions. The process code page is returned
  // for its own name. Throws as the constructor does. Thread-safe.
  static const CodePage& named(const std::string& name);
  // Strict UTF-8, the encoding of file names.
  static const CodePage& utf8();

  // Whether ASCII text is written as itself and no other character is written
  // starting with an ASCII byte, so that "<", ">" and white space in a page's
  // bytes are always what they seem. UTF-16 and stateful encodings are not.
  bool asciiCompatible() const;
  // Whether every character of `text` has bytes of its own here (nothing would
  // be written as "?"). Escapes always have.
  bool canEncode(TextView text) const;

  const std::string& name() const { return name_; }
  Text decode(std::string_view bytes) const;
  // What decodeInto wrote: its characters, and how many of them are the
  // escape of a byte that starts no character here.
  struct Decoded {
    std::size_t characters = 0;
    std::size_t undecodable = 0;
  };
  // Decodes into `out`, which has room for bytes.size() characters (no
  // character takes less than a byte).
  Decoded decodeInto(std::string_view bytes, char32_t* out) const;
  std::string encode(TextView text) const;
  // Appends the bytes of `text` to `out` (what encode returns, without a copy).
  void encodeAppend(TextView text, std::string& out) const;

  // The code pages decoded by table or as UTF-8 take at most four bytes a
  // character; those iconv handles character by character have no bound.
  static constexpr std::size_t kMaxCharBytes = 4;
  bool boundsCharBytes() const { return kind_ != Kind::Generic; }
  // For a code page that bounds its characters' bytes: writes the bytes of
  // `text` at `out`, which has room for kMaxCharBytes a character, and
  // returns the end of what it wrote. The room past that end may be written
  // too (bytes of no use, for the next text to overwrite).
  char* encodeTo(TextView text, char* out) const;

 private:
  enum class Kind { Table, Utf8, Generic };

  void buildTable();
  Decoded decodeGeneric(std::string_view bytes, char32_t* out) const;
  // One character above ASCII in a code page that bounds its characters'
  // bytes, at `out` with room for kMaxCharBytes.
  char* encodeWide(char32_t c, char* out) const;
  void encodeGeneric(char32_t c, std::string& out) const;
  // encodeTo for a text that is not all ASCII. Apart, so that the call for an
  // ASCII text, most of them, stays small.
  [[gnu::noinline]] char* encodeMixed(TextView text, char* out) const;

  std::string name_;
  Kind kind_ = Kind::Table;
  // Table kind: single bytes and lead/trail pairs (double-byte code pages).
  std::array<char32_t, 256> single_{};          // 0 = not a character by itself
  std::vector<char32_t> pairs_;                 // [lead*256 + trail], 0 = invalid
  // The bytes each code point above ASCII is written as, packed (first byte
  // low), escaped bytes included; 0 when unmapped. By index below 0x10000, by
  // lookup above.
  std::vector<std::uint16_t> encodeBmp_;
  std::unordered_map<char32_t, std::uint16_t> encodeBeyondBmp_;
};

// The result of one pass over bytes as strict UTF-8.
struct Utf8Scan {
  bool valid = true;     // every byte belongs to a UTF-8 character
  bool nonAscii = false;  // some byte is above 0x7F
};
// With `cutAtEnd`, a character cut short by the end of `bytes` (a head read
// from a longer file) does not count against validity.
Utf8Scan scanUtf8(std::string_view bytes, bool cutAtEnd = false);

// Why the configured code page cannot be used (iconv does not know it, or it
// is not ASCII-compatible, so pages would be written in a mix), as a message
// for the user in UTF-8; nothing when it can. Both front ends ask before
// anything else and stop when there is a reason.
std::optional<std::string> configuredCodePageRefusal();
// The same for any code page name.
std::optional<std::string> codePageRefusal(const std::string& name);

// Shorthands for the process code page.
Text decodeAnsi(std::string_view bytes);
std::string encodeAnsi(TextView text);

}  // namespace vantiro
