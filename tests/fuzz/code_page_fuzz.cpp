// Every byte string decodes and encodes back to itself, in every kind of code
// page and in whatever encoding a page's own bytes make it out to be.
#include "platform/code_page.h"
#include "platform/page_encoding.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const vantiro::CodePage gbk("GBK");
  static const vantiro::CodePage utf8("UTF-8");
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const auto* page : {&gbk, &utf8}) {
    vantiro::Text text = page->decode(bytes);
    if (text.size() > bytes.size() || page->encode(text) != bytes) std::abort();
  }
  const vantiro::PageEncoding found = vantiro::detectPageEncoding(bytes);
  if (found.codePage != nullptr && found.codePage->encode(found.codePage->decode(bytes)) != bytes) std::abort();
  if (found.codePage == nullptr && found.refusal.empty()) std::abort();
  return 0;
}
