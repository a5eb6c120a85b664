#include "replace/search_replace.h"

#include "backup/backup_store.h"
#include "common/mirror_path.h"
#include "common/page_error.h"
#include "common/path_directories.h"
#include "compress/page_compressor.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/page_encoding.h"

#include <array>
#include <ctime>
#include <exception>
#include <memory>
#include <new>
#include <optional>

namespace vantiro {
namespace {

constexpr std::array<AttributeEntry, 7> kAttributeEntries{{
    {U"文件名", kKindFileName, U"name"},
    {U"标题", kKindTitle, U"TITLE"},
    {U"超级链接地址", kKindTagInside, U"A"},
    {U"超级链接名称", kKindTagInside, U"A"},
    {U"字体", kKindTagInside, U"FONT"},
    {U"图片属性", kKindTagInside, U"IMG"},
    {U"表格属性", kKindTagInside, U"TABLE"},
}};

bool startsWithIgnoringCase(TextView text, TextView prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t k = 0; k < prefix.size(); ++k)
    if (upperAscii(text[k]) != upperAscii(prefix[k])) return false;
  return true;
}

bool equalsIgnoringCase(TextView a, TextView b) { return a.size() == b.size() && startsWithIgnoringCase(a, b); }

Text describe(const std::exception& error) { return fromUtf8(error.what()); }

// A page as read, and how its file was then, to tell a change another
// program makes before the result replaces it.
struct PageRead {
  std::string bytes;
  std::optional<FileInfo> info;
};

// Reads a page that another program may be writing until one read sees it
// whole, as a compression run does; one that keeps changing is given up.
PageRead readWhole(const std::string& native) {
  constexpr int kReadsOfAChangingPage = 3;
  for (int attempt = 1;; ++attempt) {
    const std::optional<FileInfo> before = files().stat(native);
    PageRead read{files().readFile(native), files().stat(native)};
    if (!before || !read.info || read.info->unchangedSince(*before)) return read;
    if (attempt == kReadsOfAChangingPage) throw FileError(std::string(kChangedDuringRun));
  }
}

// Puts `text` at `output` the way a compression run puts a page in place:
// written beside it first (a file that cannot be written leaves no entry),
// then `saved` (what a restore must give back) appended to the backup store
// and made durable, then the page checked to be still as read (another
// program's change is kept, not overwritten), and only then swapped in.
void replaceFile(const Text& output, std::string_view saved, const std::string& native, const PageRead& read,
                 TextView text, const CodePage& codePage) {
  const std::string outputNative = nativePath(output);
  const std::unique_ptr<StagedFile> staged = files().stageFile(outputNative, codePage.encode(text), stagedLike(native));
  const std::optional<FileInfo> held = outputNative != native ? files().stat(outputNative) : std::nullopt;
  AppendBackupEntry(output, saved, saved.size(), BackupFiller::None, held ? held : read.info);
  SyncBackupStore();
  const std::optional<FileInfo> now = files().stat(native);
  if (read.info && (!now || !now->unchangedSince(*read.info))) throw FileError(std::string(kChangedDuringRun));
  staged->place();
}

// A replacement the page's encoding cannot hold would be written as "?": the
// page is refused before anything of it changes.
void refuseUnwritable(const SearchParameters& params, const CodePage& codePage) {
  if (!codePage.canEncode(params.replacement))
    throw PageError("替换文字无法用页面的编码 " + codePage.name() + " 写出，页面未改动");
}

// A page nobody may write is refused before its backup entry, which restoring
// could not write back either.
void refuseReadOnly(const std::string& native) {
  if (const std::optional<FileInfo> info = files().stat(native); info && !info->writable)
    throw FileError("无法写入文件 " + native + ": " + std::string(kReadOnlyReason));
}

PageReplacement startedPage(const Text& path) {
  PageReplacement result;
  result.path = path;
  return result;
}

PageReplacement failedPage(const Text& path, Text error) {
  PageReplacement result = startedPage(path);
  result.succeeded = false;
  result.error = std::move(error);
  return result;
}

// Runs a page routine's body, turning every failure into a failed result with
// the error's description.
template <typename Body>
void trapped(PageReplacement& result, Body body) {
  try {
    body();
  } catch (const std::bad_alloc&) {
    result.succeeded = false;
    result.error = U"内存不足";
  } catch (const std::exception& error) {
    result.succeeded = false;
    result.error = describe(error);
  }
}

void renamePage(PageReplacement& result, const SearchParameters& params) {
  const Text& path = result.path;
  const std::string native = nativePath(path);
  if (!isNormalFile(native)) {
    result.succeeded = false;
    return;
  }
  const std::size_t slash = path.rfind(U'/');
  const Text directory = slash == npos ? Text() : path.substr(0, slash + 1);
  const Text oldName = slash == npos ? path : path.substr(slash + 1);
  Text newName = oldName;
  const int flags = params.caseSensitive ? kMatchCase : 0;  // whole words never apply to file names
  result.count += replaceInText(newName, params.findText, params.replacement, flags).count;
  if (newName == oldName) return;
  if (newName.empty() || newName == U"." || newName == U".." || newName.find(U'/') != npos ||
      newName.find(U'\0') != npos)
    throw PageError("替换后的文件名无效：" + toUtf8(newName));
  if (!params.dryRun) files().renameNoReplace(native, nativePath(directory + newName));
}

bool matchesTitleTag(TextView tag, TextView name) {
  if (equalsIgnoringCase(trimSpaces(tag), name)) return true;
  return tag.size() >= name.size() + 2 && startsWithIgnoringCase(tag, name) && tag[name.size()] == U' ';
}

bool matchesTagInside(TextView tag, TextView name) {
  return tag.size() >= name.size() + 2 && startsWithIgnoringCase(tag, name);
}

}  // namespace

std::span<const AttributeEntry> attributeEntries() { return kAttributeEntries; }

std::optional<AttributeTarget> attributeForEntry(TextView entry) {
  for (const auto& e : kAttributeEntries)
    if (e.entry == entry) return AttributeTarget{e.kind, Text(e.tagName)};
  return std::nullopt;
}

Text countText(long long count) {
  Text number = toText(count);
  return count >= 0 ? U" " + number : number;
}

Text statusText(TextView path) { return U"正在查找替换 " + Text(path) + U" 请等待....."; }

std::optional<Text> refuseParameters(const SearchParameters& params) {
  if (params.findText.empty()) return Text(kEmptySearchText);
  return std::nullopt;
}

PageReplacement replaceInPage(const Text& path, const SearchParameters& params) {
  if (auto refusal = refuseParameters(params)) return failedPage(path, std::move(*refusal));
  if (params.mode == ReplaceMode::Specific)  // a caller's mistake: replaceAttributeInPage handles that mode
    return failedPage(path, U"特定替换不能用于一般模式");
  PageReplacement result = startedPage(path);
  trapped(result, [&] {
    const std::string native = nativePath(path);
    const PageRead read = readWhole(native);
    refuseReadOnly(native);
    PageText decoded = decodePage(read.bytes);
    refuseUnwritable(params, *decoded.codePage);
    const CodePage& codePage = *decoded.codePage;
    Text page = std::move(decoded.text);
    const auto writePage = [&](TextView text) {
      if (!params.dryRun) replaceFile(path, read.bytes, native, read, text, codePage);
    };
    const int flags = params.matchFlags();
    auto replaceIn = [&](Text& text) {
      const TextReplacement done = replaceInText(text, params.findText, params.replacement, flags);
      result.count += done.count;
      return done.replaced;
    };

    // A page in which nothing was replaced keeps its bytes and its time, and gets no entry.
    if (params.mode == ReplaceMode::Page) {
      if (replaceIn(page)) writePage(page);
      return;
    }
    PieceList pieces = cutPieces(page, ScanVariant::General);
    Text().swap(page);  // the pieces hold it all now; a large page need not be held twice
    bool replaced = false;
    for (int i = 0; i <= pieces.lastIndex; ++i) {
      auto row = static_cast<std::size_t>(i);
      switch (params.mode) {
        case ReplaceMode::Text:
          replaced |= replaceIn(pieces.texts[row]);
          break;
        case ReplaceMode::Tags:
          replaced |= replaceIn(pieces.tags[row]);
          break;
        case ReplaceMode::Scripts:
          if (isScriptTag(pieces.tags[row])) replaced |= replaceIn(pieces.texts[row]);
          break;
        case ReplaceMode::Page:
        case ReplaceMode::Specific:
          break;
      }
    }
    if (replaced) writePage(joinPieces(pieces));
  });
  return result;
}

PageReplacement replaceAttributeInPage(const Text& givenPath, const SearchParameters& params,
                                       const CompressionOptions& options) {
  if (auto refusal = refuseParameters(params)) return failedPage(givenPath, std::move(*refusal));
  PageReplacement result = startedPage(givenPath);
  Text& path = result.path;
  trapped(result, [&] {
    const int kind = params.target.kind;
    if (kind == kKindFileName) {
      renamePage(result, params);
      return;
    }

    const std::string native = nativePath(path);
    const PageRead read = readWhole(native);
    const PageText decoded = decodePage(read.bytes);
    const Text& page = decoded.text;
    const CodePage& codePage = *decoded.codePage;
    if (kind == kKindTitle || kind == kKindTagInside) refuseUnwritable(params, codePage);
    if (!mirrorOn(options)) refuseReadOnly(native);

    if (options.requireHtml && !hasHtmlTagExactCase(page)) {
      path += kMarkRequireHtml;
      result.succeeded = false;
      return;
    }

    // A mirror gets the page even when nothing in it is replaced; the page
    // itself is rewritten only when something was.
    bool replaced = false;
    if (mirrorOn(options)) {
      std::optional<Text> mirror = mirroredPath(path, options.sourceDirectory, options.destinationDirectory);
      if (!mirror) throw PageError(toUtf8(kOutsideSourceReason));
      if (!mirrorStaysInDestination(*mirror, options.destinationDirectory))
        throw PageError(toUtf8(kLinkOutOfDestinationReason));
      path = std::move(*mirror);
      refuseReadOnly(nativePath(path));
      if (!params.dryRun) CreatePathDirectories(path);
      replaced = true;
    }

    bool write = true;
    if (!hasHtmlTagUpper(upperAscii(page))) {
      result.succeeded = false;
      path += kMarkNotHtml;
      write = false;
    }

    PieceList pieces = cutPieces(page, ScanVariant::Specific);
    const int flags = params.matchFlags();
    const TextView name = params.target.tagName;
    if (kind != kKindTitle && kind != kKindTagInside) return;

    for (int i = 0; i <= pieces.lastIndex; ++i) {
      auto row = static_cast<std::size_t>(i);
      Text& tag = pieces.tags[row];
      const bool hit = kind == kKindTitle ? matchesTitleTag(tag, name) : matchesTagInside(tag, name);
      if (!hit) continue;
      Text& target = kind == kKindTitle ? pieces.texts[row] : tag;
      if (params.fixedReplacement) {
        replaced |= target != params.replacement;
        target = params.replacement;
        ++result.count;
      } else {
        const TextReplacement done = replaceInText(target, params.findText, params.replacement, flags);
        result.count += done.count;
        replaced |= done.replaced;
      }
    }
    if (!write || !replaced || params.dryRun) return;
    // What the mirror file held is what a restore must give back; a new
    // mirror's entry holds the page, as a compression run's does.
    std::string held;
    if (const auto info = files().stat(nativePath(path)); mirrorOn(options) && info && info->kind == EntryKind::File)
      held = files().readFile(nativePath(path));
    else
      held = read.bytes;
    replaceFile(path, held, native, read, joinPieces(pieces), codePage);
  });
  return result;
}

void removeReplaceLeftovers(const std::vector<Text>& pages, const CompressionOptions& options) {
  std::vector<std::string> written;
  for (const Text& page : pages) {
    written.push_back(nativePath(page));
    if (!mirrorOn(options)) continue;
    if (const std::optional<Text> mirror =
            mirroredPath(page, options.sourceDirectory, options.destinationDirectory))
      written.push_back(nativePath(*mirror));
  }
  removeLeftoverTemporaries(written, std::time(nullptr));
}

bool replaceInPageOfRow(ReplaceRow& row, const SearchParameters& params, const CompressionOptions& options) {
  PageReplacement done = params.mode == ReplaceMode::Specific ? replaceAttributeInPage(row.path, params, options)
                                                              : replaceInPage(row.path, params);
  row.path = std::move(done.path);
  if (!done.succeeded) {
    row.countText = Text(kCountError);
    row.resultText = std::move(done.error);
    return false;
  }
  row.countText = countText(done.count);
  row.resultText = Text(kResultReplaced);
  return true;
}

}  // namespace vantiro
