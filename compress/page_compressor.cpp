#include "compress/page_compressor.h"

#include "backup/backup_store.h"
#include "common/page_error.h"
#include "common/path_directories.h"
#include "compress/page_split.h"
#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/tag_scanner.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"
#include "platform/file_service.h"

#include <exception>
#include <optional>
#include <string>

namespace vantiro {

const Text kRestoreAfterErrorQuestion =
    U"您好:\r\n    本软件在压缩您的这个文件时出现了错误，是否还原文件？（建议选择 是）";

namespace {

constexpr TextView kLineBreak = U"\r\n";

// Whether `tag` ("<html" or "<HTML") occurs followed by ">" or white space;
// with `anyCase`, letters of the page match either case of the tag's.
bool hasStartTag(TextView text, TextView tag, bool anyCase) {
  for (std::size_t p = text.find(U'<'); p != npos; p = text.find(U'<', p + 1)) {
    const TextView here = text.substr(p);
    if (anyCase ? !startsWithUpper(here, tag) : !here.starts_with(tag)) continue;
    std::size_t after = p + tag.size();
    if (after < text.size() && (text[after] == U'>' || isHtmlSpace(text[after]))) return true;
  }
  return false;
}

// The result as written, in the code page: "<tag>text" for every tag slot
// that is not empty, with a line break after each tag and each non-empty text
// under Check7. Each piece is encoded straight into the output.
std::string assembleEncoded(const PageSplit& split, bool readable, std::size_t sizeHint) {
  const CodePage& codePage = CodePage::ansi();
  std::string out;
  out.reserve(sizeHint + sizeHint / 8 + 64);
  const auto put = [&](TextView piece) { codePage.encodeAppend(piece, out); };
  if (!split.leadingText.empty()) {
    put(split.leadingText);
    if (readable) put(kLineBreak);
  }
  for (int i = 0; i <= split.lastIndex; ++i) {
    const Text& tag = split.tags[static_cast<std::size_t>(i)];
    if (tag.empty()) continue;
    const Text& text = split.texts[static_cast<std::size_t>(i)];
    out += '<';
    put(tag);
    out += '>';
    if (readable) out += "\r\n";
    put(text);
    if (readable && !text.empty()) out += "\r\n";
  }
  return out;
}

// What one call knows so far; the error path reads it.
struct PageState {
  std::optional<std::string> bytes;  // the page as read
  Text outputPath;                   // the path after the mirror mapping
  bool marked = false;               // failed the test that is always made
};

void compress(Text& path, int& pageResult, const CompressionOptions& options, ProgressIndicator& progress,
              PageState& state) {
  state.outputPath = path;
  state.bytes = files().readFile(nativePath(path));
  const std::string& bytes = *state.bytes;
  std::optional<Text> pageText = decodeAnsi(bytes);

  if (options.Check4 && !hasHtmlTagExactCase(*pageText)) {
    path += kCheck4Marker;
    pageResult = -1;
    return;
  }

  if (options.Check1 && !options.text1.empty() && !options.text2.empty()) {
    const std::size_t n = options.text1.size();
    if (upperAscii(TextView(path).substr(0, n)) == upperAscii(options.text1)) {
      path = options.text2 + path.substr(std::min(n, path.size()));
      state.outputPath = path;
      CreatePathDirectories(path);
    }
  }

  if (!hasHtmlTag(*pageText)) {
    state.marked = true;
    pageResult = -1;
    path += kNotHtmlMarker;
  }

  PageSplit split = scanPage(*pageText);
  pageText.reset();  // the split holds every character from here on
  if (split.lastIndex < 1) throw PageError("页面中的标记少于两个");
  progress.setRange(0, split.lastIndex);
  rewritePage(split, options.Check2, progress);
  if (options.Check6) convertParagraphs(split);
  const std::string result = assembleEncoded(split, options.Check7, bytes.size());

  AppendBackupEntry(path, bytes, bytes.size(), BackupFiller::Spaces);
  if (!state.marked) files().writeFileAtomic(nativePath(path), result);
}

}  // namespace

bool hasHtmlTagUpper(TextView upperText) { return hasStartTag(upperText, U"<HTML", false); }

bool hasHtmlTag(TextView pageText) { return hasStartTag(pageText, U"<HTML", true); }

bool hasHtmlTagExactCase(TextView pageText) {
  return hasStartTag(pageText, U"<html", false) || hasStartTag(pageText, U"<HTML", false);
}

void jf3(Text& path, int& pageResult, const CompressionOptions& options, ProgressIndicator& progress,
         RestoreQuestion& question) {
  PageState state;
  std::string reason;
  try {
    compress(path, pageResult, options, progress, state);
    return;
  } catch (const std::exception& e) {
    reason = e.what();
  } catch (...) {
    reason = "未知错误";
  }
  pageResult = -1;
  path += U'|';
  path += fromUtf8(reason);
  if (!options.Check3 || !question.askRestoreAfterError(kRestoreAfterErrorQuestion)) return;
  // A page that was never read has nothing to write back (writing the empty
  // text would wipe it), and a page that failed the HTML test has no output.
  if (!state.bytes || state.marked) return;
  try {
    files().writeFileAtomic(nativePath(state.outputPath), *state.bytes);
  } catch (const std::exception&) {
    // The page is already reported as failed with its first reason.
  }
}

}  // namespace vantiro
