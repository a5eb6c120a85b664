#pragma once
// compressPageFile: compresses one page file end to end. It reads the page, checks that
// it is HTML, maps the output path under the compression directory, runs the
// passes, records the page's bytes in the backup store and writes the result.

#include "common/compression_options.h"
#include "platform/text.h"
#include "compress/progress.h"
#include "platform/file_service.h"

#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantiro {

// Asked, only when Check3 is on, after a page failed: whether to write the
// page as read back to its output file. The window shows a Yes/No box, the
// command line answers by a flag.
class RestoreQuestion {
 public:
  virtual ~RestoreQuestion() = default;
  virtual bool askRestoreAfterError(const Text& message) = 0;
};

// Answers every question the same way.
class FixedAnswer final : public RestoreQuestion {
 public:
  explicit FixedAnswer(bool yes) : yes_(yes) {}
  bool askRestoreAfterError(const Text&) override { return yes_; }

 private:
  bool yes_;
};

// "您好:" CR LF "    本软件在压缩您的这个文件时出现了错误，是否还原文件？（建议选择 是）"
extern const Text kRestoreAfterErrorQuestion;

// Markers appended to `path` when a page is not HTML: "|文件错误!" by the
// test `requireHtml` asks for, "|文件错误" by the test that is always made.
// Either way nothing is written and no backup entry is made.
inline constexpr TextView kRequiredHtmlMissingMarker = U"|文件错误!";
inline constexpr TextView kNotHtmlMarker = U"|文件错误";

// The reason of a page that another program changed while it was compressed:
// it is left with that change, not overwritten.
inline constexpr std::string_view kChangedDuringRun = "文件在压缩时被修改";

// What became of a page. On success `path` is the file written: the page
// itself, or its mirror under options.destinationDirectory when Check1 maps it there. A page
// that failed has, unless a marker above applies, "|" and the reason appended
// to the path it was given (or mapped to).
struct PageOutcome {
  Text path;
  bool succeeded = true;
  // The file is no HTML page (compress/page_kind.h): it failed with
  // kNotAPageReason before anything was written or saved.
  bool notPage = false;
};

// Compresses the page at `path`. A mirror file that exists already is backed
// up with its own bytes before it is replaced; otherwise the entry holds the
// page's bytes under the path written. A file that is no HTML page (by its
// name, or by content that is binary or does not begin as a page does) is
// left untouched with no entry and fails with kNotAPageReason; a file its
// name refuses is not even read.
//
// The result goes to a temporary file beside the output and replaces it only
// when complete, keeping the file's permissions, so a page is never left
// truncated or half-written; the backup entry (the page's bytes as read) is
// appended before that. `progress` gets the range 0..lastIndex and the tag
// progress. Never throws.
PageOutcome compressPageFile(Text path, const CompressionOptions& options, ProgressIndicator& progress,
                             RestoreQuestion& question);

// Whether compressing a page changes anything on disk. A dry run reads and
// compresses pages exactly as a run would and reports the same outcome, but
// creates no directory, appends no backup entry and writes no file.
enum class WriteMode { Write, DryRun };

// compressPageFile in two halves, so that a run can compress the next page while the
// current one is written. preparePage reads the page and does everything
// that changes nothing outside memory (tests, passes, the encoded result);
// what it meets is kept in the PreparedPage, progress included. commitPage
// then does the rest exactly as compressPageFile would have: markers, the mirror mapping
// and its directories, the backup entry, the write, the error path with its
// question. compressPageFile(...) is commitPage(preparePage(...)).

// Progress calls kept to be made later, on the thread that shows them.
class RecordedProgress final : public ProgressIndicator {
 public:
  void setRange(int minimum, int maximum) override;
  void setValue(int value) override;
  // Makes the kept calls on `target` (none when null), in order, and forgets them.
  void replay(ProgressIndicator* target);

 private:
  struct Event {
    bool range;
    int a, b;
  };
  std::vector<Event> events_;
};

struct PreparedPage {
  std::optional<std::string> bytes;  // the page as read; empty when it could not be read
  bool check4Failed = false;         // Check4 was on and its test failed
  bool notHtml = false;              // failed the test that is always made
  bool notPage = false;              // no HTML page by its name or content: nothing else is done
  std::string result;                // the compressed page in the code page
  std::exception_ptr error;          // what reading or the passes threw
  RecordedProgress progress;         // the passes' progress, when no indicator was given
  // The result already written beside the file it replaces (native path), when
  // that could be done early; commitPage then only puts it in place.
  std::unique_ptr<StagedFile> staged;
  std::string stagedFor;
  // The file read (native path; empty for bytes given) and how it was then,
  // to tell a change another program makes before the result replaces it.
  std::string readFrom;
  std::optional<FileInfo> readInfo;
  // A mirror file that held the result already when the page was prepared,
  // as it was then: while it stays so, nothing is written and no entry made.
  std::optional<FileInfo> mirrorHoldsResult;
  Text outputPath;             // the file the result goes to, once the commit began
  bool awaitingPlace = false;  // its backup entry is appended, the result not yet in place
  // Putting the result in place replaces a file: the entry saving that file
  // must be durable first. A mirror file written where there was none
  // replaces nothing, and its page stays as it was at its source.
  bool replacesFile = false;
};

// The file a page is written to under Check1: its mirror under text2 when it
// lies under text1 (mirroredPath); nothing otherwise. With the mirror on, a
// page it does not map fails with kOutsideSourceReason and nothing is written.
std::optional<Text> mirrorPath(const Text& path, const CompressionOptions& options);

// Reads `path` and compresses it in memory with `options`. Progress goes to
// `progress`, or is kept in the result when it is null. Never throws. Besides
// the read it only writes the result to a hidden temporary file beside the
// output, when the output's directory is there already (the file is removed
// again unless commitPage places it; nothing in a dry run), so it may run on
// another thread (with the real file service).
PreparedPage preparePage(const Text& path, const CompressionOptions& options, ProgressIndicator* progress,
                         WriteMode mode = WriteMode::Write);

// preparePage for a page already read (`bytes`), writing nothing at all. The
// style sheets a page links are looked up relative to `nativePagePath`
// (none for an empty path, as for a page read from standard input).
PreparedPage preparePageBytes(std::string bytes, const CompressionOptions& options, ProgressIndicator* progress,
                              const std::string& nativePagePath = {});

// The rest of compressPageFile for a page prepared with the same `path`, `options` and
// `mode`. In a dry run the outcome is what it would have been, and
// nothing is asked. A page that another program changed since it was read
// fails with kChangedDuringRun and keeps that change. A page whose result is
// its bytes is left untouched (same time, same file) with no backup entry.
PageOutcome commitPage(PreparedPage& page, Text path, const CompressionOptions& options, ProgressIndicator& progress,
                       RestoreQuestion& question, WriteMode mode = WriteMode::Write);

// commitPage in two steps, so that a run makes the backup store durable once
// for several pages: beginCommit does everything up to the backup entry and
// leaves page.awaitingPlace set when the result is still to be put in place;
// placePage takes the outcome beginCommit gave, makes the entries appended so
// far durable (SyncBackupStore, at no cost when an earlier placePage did) and
// then puts the result in place, or fails the page as commitPage would when
// that sync fails or the page changed meanwhile.
PageOutcome beginCommit(PreparedPage& page, Text path, const CompressionOptions& options, ProgressIndicator& progress,
                        RestoreQuestion& question, WriteMode mode = WriteMode::Write);
PageOutcome placePage(PreparedPage& page, PageOutcome begun, const CompressionOptions& options,
                      RestoreQuestion& question);

// The HTML tests, which also accept the html start tag with attributes
// (`<html lang="en">`): the one always made looks for "<html" in any letter
// case followed by ">" or white space; the Check4 one for "<html" or "<HTML"
// in that exact case, followed by ">" or white space.
bool hasHtmlTag(TextView pageText);
bool hasHtmlTagExactCase(TextView pageText);

}  // namespace vantiro
