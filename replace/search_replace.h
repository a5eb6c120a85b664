#pragma once
// The search-and-replace engine: replacing in one string (`replaceInText`), in
// the pages of the task list in the four general modes (`replaceInPage`) and
// in the specific mode that targets file names, titles and kinds of tags
// (`replaceAttributeInPage`). The window and `vantiro-cli replace` both drive
// it.

#include "common/compression_options.h"
#include "platform/file_service.h"
#include "platform/text.h"
#include "replace/piece_scanner.h"

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vantiro {

// Match flags: 2 x case-sensitive + whole-word.
inline constexpr int kMatchWholeWord = 1;
inline constexpr int kMatchCase = 2;

// What one replaceInText call did.
struct TextReplacement {
  long long count = 0;    // the occurrences met, those the whole-word test rejected included
  bool replaced = false;  // at least one occurrence was replaced: `text` changed
};

// Replaces every occurrence of `find` in `text`, in place, and counts the
// occurrences met. Two quirks are kept on purpose, since callers rely on the
// counts: an occurrence the whole-word test rejects is still counted, and
// the search resumes one character after the inserted text (after a
// rejection: one character after where inserted text would have ended), so
// 'aaaa' with 'a' -> 'b' gives 'baba' and a count of 2. When case is ignored
// the replacement is still inserted exactly as given. An empty `find`
// replaces nothing. Linear in the length of `text`.
TextReplacement replaceInText(Text& text, TextView find, TextView replacement, int matchFlags);

// The search replaceInText makes, without changing anything: the count it
// reports and where each occurrence it replaces begins, in ascending order.
struct Occurrences {
  long long count = 0;
  std::vector<std::size_t> replacedAt;
};
Occurrences findOccurrences(TextView text, TextView find, TextView replacement, int matchFlags);

// `text` with `replacement` in place of the `findSize` characters at each of
// `at` (ascending, apart), given piece by piece to `put`: a large page is
// written out without a changed copy of it in between.
template <typename Put>
void forEachReplacedPiece(TextView text, std::size_t findSize, TextView replacement,
                          const std::vector<std::size_t>& at, Put&& put) {
  std::size_t copied = 0;
  for (const std::size_t start : at) {
    put(text.substr(copied, start - copied));
    put(replacement);
    copied = start + findSize;
  }
  put(text.substr(copied));
}

// A character that continues a word: an ASCII letter or digit, or above
// ASCII any Unicode letter (Chinese, Hangul, "ï", "ß"), combining mark or
// number, whatever the page's encoding. The underscore, punctuation (the
// full-width comma included), symbols and the escapes of undecodable bytes
// separate words.
bool isWordCharacter(char32_t c);

// The mode buttons of the window.
enum class ReplaceMode {
  Text,      // "替换文本": the texts between tags
  Tags,      // "替换命令": inside the tags
  Page,      // "全文替换": the whole page
  Scripts,   // "替换脚本": script bodies
  Specific,  // "特定替换": the attribute kind below
};

// Attribute kinds of the specific mode.
inline constexpr int kKindNone = 0;       // no entry chosen yet: pages stay as they are
inline constexpr int kKindFileName = 1;   // rename the page file
inline constexpr int kKindTitle = 2;      // the text after a tag named tagName
inline constexpr int kKindTagInside = 3;  // the inside of tags starting with tagName

struct AttributeTarget {
  int kind = kKindNone;
  Text tagName;
};

struct AttributeEntry {
  TextView entry;  // the text of the drop-down entry
  int kind;
  TextView tagName;
};

// The entries of the attribute drop-down list, in their order.
std::span<const AttributeEntry> attributeEntries();
// The kind an entry stands for; nothing for a text that is not an entry.
std::optional<AttributeTarget> attributeForEntry(TextView entry);

struct SearchParameters {
  Text findText;                  // Text1
  Text replacement;               // Text2
  bool wholeWord = false;         // Check1 "全字匹配"
  bool caseSensitive = false;     // Check2 "区分大小写"
  bool fixedReplacement = false;  // Check5 "固定代替", specific mode only
  ReplaceMode mode = ReplaceMode::Text;
  AttributeTarget target;  // specific mode only
  // Count and report as a real run would, writing nothing: no page, mirror,
  // directory, renamed file or backup entry.
  bool dryRun = false;

  int matchFlags() const { return (caseSensitive ? kMatchCase : 0) + (wholeWord ? kMatchWholeWord : 0); }
};

// Texts both front ends show.
inline constexpr TextView kCountReady = U"就绪";
inline constexpr TextView kResultWaiting = U"等待压缩";
inline constexpr TextView kCountError = U"错误";
inline constexpr TextView kResultReplaced = U"成功替换";
inline constexpr TextView kEmptySearchText = U"查找文字不能为空，请输入要查找的文字";
inline constexpr TextView kMarkRequireHtml = U"|文件错误!";  // the Check4 test refused the page
inline constexpr TextView kMarkNotHtml = U"|文件错误";       // no html start tag in the page

// " 3", " 0": the count with one leading space, as the result list shows it.
Text countText(long long count);
// "正在查找替换 " + path + " 请等待.....".
Text statusText(TextView path);

// The message refusing the parameters before any page is touched (an empty
// search text), or nothing when they may run.
std::optional<Text> refuseParameters(const SearchParameters& params);

// What replacing in one page did.
struct PageReplacement {
  // The path the result list shows for the page: the one given, or in the
  // specific mode the mirror's path and a result mark (see below).
  Text path;
  bool succeeded = true;
  long long count = 0;  // the occurrences met, as replaceInText counts them
  // The description of the error that ended the page; empty on success, and
  // also when the html tests refused the page (which is a failure all the same).
  Text error;
};

// One page in a general mode (Text, Tags, Page, Scripts). Reads the page and
// replaces in memory; when something was replaced, the page's bytes are
// appended to the backup store and made durable before the page is put in
// place atomically. A page nobody may write is refused before any entry; a
// page in which nothing was replaced keeps its file and gets no entry; a page
// another program changed since it was read fails with kChangedDuringRun and
// keeps that change. A failure leaves the page as it was. A page without any
// "<" is left alone in the piece modes. Never throws.
PageReplacement replaceInPage(const Text& path, const SearchParameters& params);

// One page in the specific mode. The file-name kind renames the page within
// its directory (never over another file; no backup). The other kinds apply
// the page compressor's html tests (marking the path with kMarkRequireHtml or
// kMarkNotHtml), redirect the output under text2 when options.mirror is on and
// the path lies under text1 (the result's path then names the output), and
// write the output as replaceInPage writes a page, its entry holding what the
// output held (a new mirror's holds the page). Never throws.
PageReplacement replaceAttributeInPage(const Text& path, const SearchParameters& params,
                                       const CompressionOptions& options);

// replaceInPage and replaceAttributeInPage in two halves, so that pages can be
// read and searched on other threads while earlier ones are written: the
// preparation reads the page and replaces in memory, changing nothing on disk
// (but for the file-name kind, which renames the page there and then); the
// commit then writes what it found, exactly as the whole routine would have,
// in a dry run nothing.
struct PreparedReplacement {
  PageReplacement result;              // as far as the preparation got; a failure ends the page there
  std::string native;                  // the page read
  std::optional<FileInfo> readInfo;    // how its file was once read
  std::optional<std::string> output;   // the new page in its encoding, to be written; let go once staged
  std::string saved;                   // what its backup entry keeps (the page as read)
  bool mirrored = false;               // the output is the page's mirror (specific mode)
  std::unique_ptr<StagedFile> staged;  // the result beside its output, its entry appended, not yet in place
};
PreparedReplacement prepareReplacement(const Text& path, const SearchParameters& params);
PreparedReplacement prepareAttributeReplacement(const Text& path, const SearchParameters& params,
                                                const CompressionOptions& options);
PageReplacement commitReplacement(PreparedReplacement& prepared, const SearchParameters& params);
// commitReplacement in two steps, so that a run makes the backup store
// durable once for several pages: beginReplacementCommit does everything up to the
// backup entry and leaves `staged` set when the result is still to be put in
// place; placeReplacement makes the entries appended so far durable (at no
// cost when an earlier call did), checks the page is still as read, puts the
// result in place, and gives the outcome.
void beginReplacementCommit(PreparedReplacement& prepared, const SearchParameters& params);
PageReplacement placeReplacement(PreparedReplacement& prepared);

// Removes the temporary files that replacing in `pages` (and writing their
// mirrors under `options`) left beside them when a run was killed; only files
// older than the call, so that none still being written is touched.
void removeReplaceLeftovers(const std::vector<Text>& pages, const CompressionOptions& options);

// One row of the result list.
struct ReplaceRow {
  Text path;
  Text countText{kCountReady};
  Text resultText{kResultWaiting};
};

// Replaces in the row's page as the start button does: `replaceInPage`, or
// `replaceAttributeInPage` in the specific mode; then the row takes the
// result's path and shows its count and result texts. Returns false when the
// page failed.
bool replaceInPageOfRow(ReplaceRow& row, const SearchParameters& params, const CompressionOptions& options);
// The part of replaceInPageOfRow after the replacing: the row takes `done`.
bool showReplacement(ReplaceRow& row, PageReplacement done);

}  // namespace vantiro
