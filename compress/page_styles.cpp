#include "compress/page_styles.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "compress/element_names.h"
#include "compress/tag_attributes.h"
#include "compress/text_routines.h"
#include "platform/file_service.h"
#include "platform/page_encoding.h"

namespace vantiro {
namespace {

constexpr int kDeepestImport = 8;
constexpr std::size_t kSheetsKept = 512;

// A sheet read with what it imports, and the files that made it.
struct ReadSheet {
  StyleRules rules;
  std::vector<std::pair<std::string, FileInfo>> files;
};

// The directory part of a native path, with its "/", or "" without one.
std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string percentDecoded(const std::string& s) {
  std::string out;
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '%' && k + 2 < s.size() && hexValue(s[k + 1]) >= 0 && hexValue(s[k + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[k + 1]) * 16 + hexValue(s[k + 2]));
      k += 2;
    } else {
      out += s[k];
    }
  }
  return out;
}

bool startsWithCaseless(const std::string& s, std::string_view lowerPrefix) {
  if (s.size() < lowerPrefix.size()) return false;
  for (std::size_t k = 0; k < lowerPrefix.size(); ++k) {
    char c = s[k];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != lowerPrefix[k]) return false;
  }
  return true;
}

// The file an address names, relative to `directory` ("" when there is
// none); nothing for an address that is not a file here.
std::optional<std::string> fileOfAddress(TextView address, const std::string& directory) {
  std::string a = toUtf8(address);
  while (!a.empty() && isHtmlSpace(static_cast<unsigned char>(a.front()))) a.erase(0, 1);
  while (!a.empty() && isHtmlSpace(static_cast<unsigned char>(a.back()))) a.pop_back();
  a = a.substr(0, a.find_first_of("?#"));
  if (a.empty()) return std::nullopt;
  if (startsWithCaseless(a, "file://")) {
    a.erase(0, 7);
    if (a.empty() || a[0] != '/') return std::nullopt;  // file://host/...
    return percentDecoded(a);
  }
  if (startsWithCaseless(a, "file:")) a.erase(0, 5);
  if (a.starts_with("//")) return std::nullopt;  // another host
  const std::size_t colon = a.find(':');
  if (colon != std::string::npos && a.find('/') > colon) return std::nullopt;  // http:, data:, ...
  a = percentDecoded(a);
  if (a[0] == '/') return a;
  if (directory.empty()) return std::nullopt;
  return directory + a;
}

// fileOfAddress for the addresses a thread met last: the pages of a site
// link the same few sheets from the same few directories, page after page.
std::optional<std::string> fileOfLinkedAddress(TextView address, const std::string& directory) {
  struct Known {
    Text address;
    std::string directory;
    std::optional<std::string> file;
  };
  constexpr std::size_t kKnown = 8;
  thread_local std::vector<Known> known;  // the most recent last
  for (auto it = known.begin(); it != known.end(); ++it)
    if (it->address == address && it->directory == directory) {
      std::rotate(it, it + 1, known.end());
      return known.back().file;
    }
  if (known.size() == kKnown) known.erase(known.begin());
  known.push_back(Known{Text(address), directory, fileOfAddress(address, directory)});
  return known.back().file;
}

class SheetCache {
 public:
  std::shared_ptr<const ReadSheet> sheet(const std::string& path) {
    {
      std::lock_guard lock(mutex_);
      const auto it = sheets_.find(path);
      if (it != sheets_.end() && stillTheSame(*it->second)) return it->second;
    }
    auto read = std::make_shared<ReadSheet>();
    readInto(*read, path, 0);
    std::lock_guard lock(mutex_);
    if (sheets_.size() >= kSheetsKept) sheets_.clear();
    sheets_[path] = read;
    return read;
  }

 private:
  static bool stillTheSame(const ReadSheet& sheet) {
    for (const auto& [file, info] : sheet.files) {
      const std::optional<FileInfo> now = files().stat(file);
      if (!now || !now->unchangedSince(info)) return false;
    }
    return true;
  }

  static void readInto(ReadSheet& sheet, const std::string& path, int depth) {
    for (const auto& [file, info] : sheet.files)
      if (file == path) return;  // imported twice, or in a circle
    const std::optional<FileInfo> info = files().stat(path);
    if (!info || info->kind != EntryKind::File) return;
    sheet.files.emplace_back(path, *info);
    std::string bytes;
    try {
      bytes = files().readFile(path);
    } catch (const std::exception&) {
      return;  // counts for nothing, as in a browser
    }
    const PageText css = decodePage(bytes);
    for (const Text& imported : sheet.rules.add(css.text)) {
      const std::optional<std::string> file = fileOfAddress(imported, directoryOf(path));
      if (file && depth < kDeepestImport) readInto(sheet, *file, depth + 1);
    }
  }

  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const ReadSheet>> sheets_;
};

SheetCache& sheetCache() {
  static SheetCache cache;
  return cache;
}

bool relIsStyleSheet(TextView rel) {
  for (std::size_t k = 0; k < rel.size();) {
    while (k < rel.size() && isHtmlSpace(rel[k])) ++k;
    std::size_t e = k;
    while (e < rel.size() && !isHtmlSpace(rel[e])) ++e;
    if (namesAre(rel.substr(k, e - k), U"stylesheet")) return true;
    k = e;
  }
  return false;
}

}  // namespace

StyleRules pageStyleRules(const PageSplit& split, const std::string& pageNativePath) {
  StyleRules rules;
  std::string directory = directoryOf(pageNativePath);
  for (const int i : split.styleSources) {
    const TextView tag = split.tags[static_cast<std::size_t>(i)];
    if (isStartTagOf(tag, U"style")) {
      for (const Text& imported : rules.add(split.texts[static_cast<std::size_t>(i)]))
        if (const std::optional<std::string> file = fileOfLinkedAddress(imported, directory))
          rules.merge(sheetCache().sheet(*file)->rules);
    } else if (isStartTagOf(tag, U"base")) {
      const std::optional<TextView> href = attributeValue(tag, U"href");
      if (!href) continue;
      const std::optional<std::string> base = fileOfAddress(*href, directory);
      directory = base ? directoryOf(*base) : std::string();
    } else if (isStartTagOf(tag, U"link")) {
      const std::optional<TextView> rel = attributeValue(tag, U"rel");
      const std::optional<TextView> href = attributeValue(tag, U"href");
      if (!rel || !href || !relIsStyleSheet(*rel)) continue;
      if (const std::optional<std::string> file = fileOfLinkedAddress(*href, directory))
        rules.merge(sheetCache().sheet(*file)->rules);
    }
  }
  return rules;
}

}  // namespace vantiro
