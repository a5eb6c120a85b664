#pragma once
// Finds the encoding a page is written in, from its own bytes, in the order a
// browser would: a byte-order mark; a charset declared in the first 1024
// bytes (<meta charset>, <meta http-equiv="Content-Type" content="...">, an
// XML declaration's encoding) read through the browsers' table of labels,
// the first declaration whose label the program knows winning; UTF-8 when
// the bytes are valid UTF-8 and not all ASCII; else the configured code page.
// Costs at most the first 1024 bytes and one pass over the rest.

#include "platform/code_page.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vantiro {

enum class EncodingSource { ByteOrderMark, Declared, ValidUtf8, Configured };

struct PageEncoding {
  // The code page the page is read and written in; null when the page cannot
  // be handled at all (`refusal` then says why, for the page's row).
  const CodePage* codePage = nullptr;
  EncodingSource source = EncodingSource::Configured;
  std::string refusal;
};

// A page that cannot be read in any encoding the program handles; what() is
// the reason, for the page's row.
class EncodingRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A page's text in its own encoding, and that encoding.
struct PageText {
  Text text;
  const CodePage* codePage = nullptr;
  EncodingSource source = EncodingSource::Configured;
};

// Detects the encoding of the whole page `bytes` and decodes it. Throws
// EncodingRefused when the page is refused.
PageText decodePage(std::string_view bytes);

// `bytes` is the whole page, or with `head` only its beginning (a character
// cut by the end of the head then does not make it invalid UTF-8).
PageEncoding detectPageEncoding(std::string_view bytes, bool head = false);

// The iconv name of the encoding a declared label means ("gb2312" -> "GBK",
// "latin1" -> "CP1252"); an empty name for an encoding the program cannot
// handle (ISO-2022-JP, the replacement encoding); nothing for an unknown label.
// Surrounding white space and case do not matter.
std::optional<std::string> encodingForLabel(std::string_view label);

// Every label declared in the first 1024 bytes of a page, lower-cased, in the
// order a browser's prescan meets them: an XML declaration's encoding first,
// then each <meta>'s charset. A browser takes the first label it knows and
// moves past the others; detectPageEncoding does the same.
std::vector<std::string> declaredLabels(std::string_view bytes);

}  // namespace vantiro
