#include "replace/search_replace.h"

#include "backup/backup_store.h"
#include "common/memory_need.h"
#include "common/mirror_path.h"
#include "common/page_error.h"
#include "common/path_directories.h"
#include "compress/page_compressor.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/page_encoding.h"
#include "replace/attribute_replacer.h"
#include "replace/html_start_tags.h"
#include "replace/page_replacer.h"

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

Text describe(const std::exception& error) { return fromUtf8(error.what()); }

// What replacing holds for each byte of a page: the page's bytes and the new
// page's, an eighth larger, decoding a block at a time, and then the backup
// entry's copy of the page once the new page is written (bench: 2.05 times a
// page in every mode, the specific one included); the room left is for a new
// page that grows.
constexpr std::uint64_t kMemoryPerPageByte = 3;

// Reads a page that another program may be writing until one read sees it
// whole, as a compression run does; one that keeps changing is given up.
FileRead readWhole(const std::string& native) {
  constexpr int kReadsOfAChangingPage = 3;
  for (int attempt = 1;; ++attempt) {
    FileRead read = files().readFileWithInfo(
        native, [&](const FileInfo& file) { refuseWhatCannotFit(file.size, kMemoryPerPageByte, "替换"); });
    if (!read.before || !read.after || read.after->unchangedSince(*read.before)) return read;
    if (attempt == kReadsOfAChangingPage) throw FileError(std::string(kChangedDuringRun));
  }
}

// Writes `bytes` beside `output` (a file that cannot be written leaves no
// entry) and appends `saved`, what a restore must give back, to the backup
// store. The result waits for placeWhenDurable, as a compression run's does.
// `bytes` is let go once written, before the entry copies `saved`: a large
// page is then held twice, not three times.
std::unique_ptr<StagedFile> stageWithEntry(const Text& output, std::string_view saved, const std::string& native,
                                           const std::optional<FileInfo>& readInfo, std::string bytes) {
  const std::string outputNative = nativePath(output);
  std::unique_ptr<StagedFile> staged = files().stageFile(outputNative, bytes, stagedLike(native));
  std::string().swap(bytes);
  const std::optional<FileInfo> held = outputNative != native ? files().stat(outputNative) : std::nullopt;
  AppendBackupEntry(output, saved, saved.size(), BackupFiller::None, held ? held : readInfo);
  return staged;
}

// Makes the entries appended so far durable, checks that the page `native`
// is still as read (`readInfo`: another program's change is kept, not
// overwritten), and only then swaps the staged result in.
void placeWhenDurable(StagedFile& staged, const std::string& native, const std::optional<FileInfo>& readInfo) {
  SyncBackupStore();
  const std::optional<FileInfo> now = files().stat(native);
  if (readInfo && (!now || !now->unchangedSince(*readInfo))) throw FileError(std::string(kChangedDuringRun));
  staged.place();
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

PreparedReplacement prepareReplacement(const Text& path, const SearchParameters& params) {
  PreparedReplacement prepared;
  if (auto refusal = refuseParameters(params)) {
    prepared.result = failedPage(path, std::move(*refusal));
    return prepared;
  }
  if (params.mode == ReplaceMode::Specific) {  // a caller's mistake: prepareAttributeReplacement handles that mode
    prepared.result = failedPage(path, U"特定替换不能用于一般模式");
    return prepared;
  }
  PageReplacement& result = prepared.result = startedPage(path);
  trapped(result, [&] {
    prepared.native = nativePath(path);
    FileRead read = readWhole(prepared.native);
    prepared.readInfo = read.after;
    refuseReadOnly(prepared.native);
    const PageEncoding encoding = detectPageEncoding(read.bytes);
    if (encoding.codePage == nullptr) throw EncodingRefused(encoding.refusal);
    refuseUnwritable(params, *encoding.codePage);
    // A page in which nothing was replaced keeps its bytes and its time, and
    // gets no entry.
    BytesReplacement done = replaceInPageBytes(read.bytes, *encoding.codePage, params);
    result.count += done.count;
    if (!done.output) return;
    prepared.output = std::move(done.output);
    prepared.saved = std::move(read.bytes);
  });
  return prepared;
}

PreparedReplacement prepareAttributeReplacement(const Text& givenPath, const SearchParameters& params,
                                                const CompressionOptions& options) {
  PreparedReplacement prepared;
  if (auto refusal = refuseParameters(params)) {
    prepared.result = failedPage(givenPath, std::move(*refusal));
    return prepared;
  }
  PageReplacement& result = prepared.result = startedPage(givenPath);
  Text& path = result.path;
  trapped(result, [&] {
    const int kind = params.target.kind;
    if (kind == kKindFileName) {
      renamePage(result, params);
      return;
    }

    prepared.native = nativePath(path);
    FileRead read = readWhole(prepared.native);
    prepared.readInfo = read.after;
    const PageEncoding encoding = detectPageEncoding(read.bytes);
    if (encoding.codePage == nullptr) throw EncodingRefused(encoding.refusal);
    const CodePage& codePage = *encoding.codePage;
    const bool targetsPieces = kind == kKindTitle || kind == kKindTagInside;
    if (targetsPieces) refuseUnwritable(params, codePage);
    if (!mirrorOn(options)) refuseReadOnly(prepared.native);

    const HtmlStartTags html = findHtmlStartTags(read.bytes, codePage);
    if (options.requireHtml && !html.exactCase()) {
      path += kMarkRequireHtml;
      result.succeeded = false;
      return;
    }

    // A mirror gets the page even when nothing in it is replaced; the page
    // itself is rewritten only when something was.
    if (mirrorOn(options)) {
      std::optional<Text> mirror = mirroredPath(path, options.sourceDirectory, options.destinationDirectory);
      if (!mirror) throw PageError(toUtf8(kOutsideSourceReason));
      if (!mirrorStaysInDestination(*mirror, options.destinationDirectory))
        throw PageError(toUtf8(kLinkOutOfDestinationReason));
      path = std::move(*mirror);
      refuseReadOnly(nativePath(path));
      prepared.mirrored = true;
    }

    bool write = true;
    if (!html.anyCase()) {
      result.succeeded = false;
      path += kMarkNotHtml;
      write = false;
    }

    // The page is cut even when nothing is to be written: a page the cutter
    // refuses fails.
    NewPage newPage = prepared.mirrored ? NewPage::Always : NewPage::WhenReplaced;
    if (!write || !targetsPieces) newPage = NewPage::Never;
    AttributeBytesReplacement done = replaceAttributeInPageBytes(read.bytes, codePage, params, newPage);
    result.count += done.count;
    if (!done.output) return;
    prepared.output = std::move(done.output);
    prepared.saved = std::move(read.bytes);
  });
  return prepared;
}

void beginReplacementCommit(PreparedReplacement& prepared, const SearchParameters& params) {
  PageReplacement& result = prepared.result;
  if (params.dryRun) return;
  trapped(result, [&] {
    // The mirror's directories are made even for a mirror that is not written, as they always were.
    if (prepared.mirrored) CreatePathDirectories(result.path.substr(0, result.path.rfind(U'/') + 1));
    if (!prepared.output) return;
    const Text& output = result.path;
    // What the mirror file held is what a restore must give back; a new
    // mirror's entry holds the page, as a compression run's does.
    // The page is let go before the mirror file is read: a large page is
    // then held twice, not three times.
    if (prepared.mirrored) {
      if (const auto info = files().stat(nativePath(output)); info && info->kind == EntryKind::File) {
        std::string().swap(prepared.saved);
        prepared.saved = files().readFile(nativePath(output));
      }
    }
    prepared.staged =
        stageWithEntry(output, prepared.saved, prepared.native, prepared.readInfo, std::move(*prepared.output));
    prepared.output.reset();
  });
}

PageReplacement placeReplacement(PreparedReplacement& prepared) {
  if (prepared.staged) {
    trapped(prepared.result, [&] { placeWhenDurable(*prepared.staged, prepared.native, prepared.readInfo); });
    prepared.staged.reset();
  }
  return std::move(prepared.result);
}

PageReplacement commitReplacement(PreparedReplacement& prepared, const SearchParameters& params) {
  beginReplacementCommit(prepared, params);
  return placeReplacement(prepared);
}

PageReplacement replaceInPage(const Text& path, const SearchParameters& params) {
  PreparedReplacement prepared = prepareReplacement(path, params);
  return commitReplacement(prepared, params);
}

PageReplacement replaceAttributeInPage(const Text& givenPath, const SearchParameters& params,
                                       const CompressionOptions& options) {
  PreparedReplacement prepared = prepareAttributeReplacement(givenPath, params, options);
  return commitReplacement(prepared, params);
}

void removeReplaceLeftovers(const std::vector<Text>& pages, const CompressionOptions& options) {
  std::vector<std::string> written;
  for (const Text& page : pages) {
    written.push_back(nativePath(page));
    if (!mirrorOn(options)) continue;
    if (const std::optional<Text> mirror = mirroredPath(page, options.sourceDirectory, options.destinationDirectory))
      written.push_back(nativePath(*mirror));
  }
  removeLeftoverTemporaries(written, std::time(nullptr));
}

bool replaceInPageOfRow(ReplaceRow& row, const SearchParameters& params, const CompressionOptions& options) {
  return showReplacement(row, params.mode == ReplaceMode::Specific ? replaceAttributeInPage(row.path, params, options)
                                                                   : replaceInPage(row.path, params));
}

bool showReplacement(ReplaceRow& row, PageReplacement done) {
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
