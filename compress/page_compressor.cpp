#include "compress/page_compressor.h"

#include "backup/backup_store.h"
#include "common/memory_need.h"
#include "common/mirror_path.h"
#include "common/page_error.h"
#include "common/path_directories.h"
#include "compress/page_kind.h"
#include "compress/page_pieces.h"
#include "compress/page_split.h"
#include "compress/page_styles.h"
#include "compress/paragraphs.h"
#include "compress/rewrite.h"
#include "compress/shown_as_written.h"
#include "compress/split_output.h"
#include "compress/tag_scanner.h"
#include "compress/text_routines.h"
#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/page_encoding.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace vantiro {

const Text kRestoreAfterErrorQuestion =
    U"您好:\r\n    本软件在压缩您的这个文件时出现了错误，是否还原文件？（建议选择 是）";

namespace {

// Reads of a page that is changing under the reader before it is given up.
constexpr int kReadsOfAChangingPage = 3;

// What compressing a page takes at most for each of its bytes, measured
// (bench/page-memory.sh): its characters at four bytes each, the split's
// slots over them, the bytes kept for the backup and the result; with room to
// spare for pages denser in tags than most.
constexpr std::uint64_t kMemoryPerPageByte = 16;

// Throws when a page of `size` bytes cannot be compressed whole in the memory left.
void refusePageThatCannotFit(std::uint64_t size) { refuseWhatCannotFit(size, kMemoryPerPageByte, "压缩"); }

// The same before the page is read, when it may be compressed a window at a
// time; compressing it whole is then checked again.
void refuseLargePageThatCannotFit(std::uint64_t size) {
  if (compressedInPieces(size))
    refuseWhatCannotFit(size, kPiecewiseMemoryPerByte, "压缩");
  else
    refusePageThatCannotFit(size);
}

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

// Throws when the page is no longer what was read: another program changed
// it meanwhile, and writing the result would lose that change.
void checkStillAsRead(const PreparedPage& page) {
  if (page.readFrom.empty() || !page.readInfo) return;
  const std::optional<FileInfo> now = files().stat(page.readFrom);
  if (!now || !now->unchangedSince(*page.readInfo)) throw FileError(std::string(kChangedDuringRun));
}

// A mirror file as it is now, when it is a file holding exactly `result`:
// a run over a site that has not changed since the last one leaves its
// mirror as it is, times included, so that an upload sends nothing again.
std::optional<FileInfo> fileHolding(const std::string& output, const std::string& result) {
  const std::optional<FileInfo> info = files().stat(output);
  if (!info || info->kind != EntryKind::File || info->size != result.size()) return std::nullopt;
  FileRead read = files().readFileWithInfo(output, [](const FileInfo&) {});
  if (read.bytes != result || !read.before || !read.after || !read.after->unchangedSince(*read.before))
    return std::nullopt;
  return read.after;
}

// Whether the mirror file found holding the result when the page was
// prepared is still that file, unchanged.
bool mirrorStillHoldsResult(const PreparedPage& page, const std::string& output) {
  if (!page.mirrorHoldsResult) return false;
  const std::optional<FileInfo> now = files().stat(output);
  return now && now->unchangedSince(*page.mirrorHoldsResult);
}

// The part of compressPageFile that has effects, in order: the markers, the mirror mapping
// and its directories, the checks that come before any change (the page is as
// read, the output may be written), the backup entry; the result then waits
// for placePage. A page whose result is its own bytes is left as it is, with
// no entry. Throws what the preparation met, at the point where the page
// would have met it.
void finish(PreparedPage& page, PageOutcome& outcome, const CompressionOptions& options, ProgressIndicator& progress,
            WriteMode mode) {
  Text& path = outcome.path;
  if (page.notPage) {
    outcome.succeeded = false;
    outcome.notPage = true;
    path += U'|';
    path += kNotAPageReason;
    return;
  }
  page.outputPath = path;
  if (!page.bytes) std::rethrow_exception(page.error);  // the page could not be read
  if (page.check4Failed) {
    path += kRequiredHtmlMissingMarker;
    outcome.succeeded = false;
    return;
  }

  const std::optional<Text> mirror = mirrorPath(path, options);
  if (mirrorOn(options) && !mirror) {
    page.outputPath.clear();  // nothing may be written, not even the page as read
    throw PageError(toUtf8(kOutsideSourceReason));
  }
  // A result staged already was checked to stay in the destination then.
  const bool staged = mirror && page.staged && page.stagedFor == nativePath(*mirror);
  if (mirror && !staged && !mirrorStaysInDestination(*mirror, options.destinationDirectory)) {
    page.outputPath.clear();
    throw PageError(toUtf8(kLinkOutOfDestinationReason));
  }
  if (mirror) {
    path = *mirror;
    page.outputPath = path;
    if (mode == WriteMode::Write && !(staged && page.staged->liesInItsDirectory())) CreatePathDirectories(path);
  }

  if (page.notHtml) {
    outcome.succeeded = false;
    path += kNotHtmlMarker;
  }
  page.progress.replay(&progress);
  if (page.error) std::rethrow_exception(page.error);
  // A dry run reports what the run would: a page nobody may write is refused.
  if (mode == WriteMode::DryRun && !mirror && !page.notHtml && page.readInfo && !page.readInfo->writable &&
      page.result != *page.bytes)
    throw FileError("无法写入文件 " + nativePath(path) + ": " + std::string(kReadOnlyReason));
  if (mode == WriteMode::DryRun) return;

  if (page.notHtml) return;
  const std::string& bytes = *page.bytes;
  checkStillAsRead(page);
  if (!mirror && page.result == bytes) return;
  const std::string output = nativePath(path);
  if (mirror && mirrorStillHoldsResult(page, output)) return;
  // Staged before the entry is appended, so that a page that cannot be
  // written (nobody may write it, its directory is full) leaves no entry.
  if (!page.staged || page.stagedFor != output) {
    page.staged = files().stageFile(output, page.result, stagedLike(page.readFrom, page.readInfo));
    page.stagedFor = output;
  }
  // A mirror file that is there already is what a restore must give back.
  std::optional<std::string> held;
  const auto info = mirror ? files().stat(output) : std::nullopt;
  if (info && info->kind == EntryKind::File) held = files().readFile(output);
  const std::string& saved = held ? *held : bytes;
  AppendBackupEntry(path, saved, saved.size(), BackupFiller::Spaces, held ? info : page.readInfo);
  page.replacesFile = !mirror || info.has_value();
  page.awaitingPlace = true;
}

// A failed page: its path gets "|" and the reason, and under Check3 the page
// as read is written back to its output when the user says so, but never over
// a page another program changed meanwhile.
void failPage(PreparedPage& page, PageOutcome& outcome, const CompressionOptions& options, RestoreQuestion& question,
              WriteMode mode, const std::string& reason) {
  outcome.succeeded = false;
  outcome.path += U'|';
  outcome.path += fromUtf8(reason);
  if (mode == WriteMode::DryRun || !options.offerRestoreAfterError ||
      !question.askRestoreAfterError(kRestoreAfterErrorQuestion))
    return;
  // A page that was never read has nothing to write back (writing the empty
  // text would wipe it), and a page that failed the HTML test has no output.
  if (!page.bytes || page.notHtml || page.outputPath.empty() || reason == kChangedDuringRun) return;
  try {
    // A mirror file that is there already is backed up before it is written
    // over, as a run that succeeds backs it up.
    const std::string output = nativePath(page.outputPath);
    const auto info = output != page.readFrom ? files().stat(output) : std::nullopt;
    if (info && info->kind == EntryKind::File) {
      const std::string held = files().readFile(output);
      if (held == *page.bytes) return;
      AppendBackupEntry(page.outputPath, held, held.size(), BackupFiller::Spaces, info);
      SyncBackupStore();
    }
    files().stageFile(output, *page.bytes, stagedLike(page.readFrom, page.readInfo))->place();
  } catch (const std::exception&) {
    // The page is already reported as failed with its first reason.
  }
}

// Runs `step`, turning what it throws into the page's failure.
template <typename Step>
void failOnError(PreparedPage& page, PageOutcome& outcome, const CompressionOptions& options, RestoreQuestion& question,
                 WriteMode mode, Step step) {
  std::string reason;
  try {
    step();
    return;
  } catch (const std::exception& e) {
    reason = e.what();
  } catch (...) {
    reason = "未知错误";
  }
  page.awaitingPlace = false;
  failPage(page, outcome, options, question, mode, reason);
}

// Writes the result beside the page's output ahead of the commit, which then
// only renames it into place: on a busy file system creating the file is the
// slow part. Where that cannot be done yet (a mirror directory still to be
// created), the commit writes the usual way and meets any error in its place.
void stageResult(PreparedPage& page, const Text& path, const CompressionOptions& options) {
  try {
    const std::optional<Text> mirror = mirrorPath(path, options);
    if (mirrorOn(options) && (!mirror || !mirrorStaysInDestination(*mirror, options.destinationDirectory)))
      return;  // refused at the commit
    std::string output = nativePath(mirror.value_or(path));
    if (mirror) {
      page.mirrorHoldsResult = fileHolding(output, page.result);
      if (page.mirrorHoldsResult) return;  // nothing to write
    }
    page.staged = files().stageFile(output, page.result, stagedLike(page.readFrom, page.readInfo));
    page.stagedFor = std::move(output);
  } catch (const std::exception&) {
    // Nothing is lost: without a staged file the commit writes the result itself.
  }
}

}  // namespace

std::optional<Text> mirrorPath(const Text& path, const CompressionOptions& options) {
  if (!mirrorOn(options)) return std::nullopt;
  return mirroredPath(path, options.sourceDirectory, options.destinationDirectory);
}

bool hasHtmlTag(TextView pageText) { return hasStartTag(pageText, U"<HTML", true); }

bool hasHtmlTagExactCase(TextView pageText) {
  return hasStartTag(pageText, U"<html", false) || hasStartTag(pageText, U"<HTML", false);
}

void RecordedProgress::setRange(int minimum, int maximum) { events_.push_back({true, minimum, maximum}); }

void RecordedProgress::setValue(int value) { events_.push_back({false, value, 0}); }

void RecordedProgress::replay(ProgressIndicator* target) {
  if (target != nullptr)
    for (const Event& e : events_) {
      if (e.range)
        target->setRange(e.a, e.b);
      else
        target->setValue(e.a);
    }
  events_.clear();
}

PreparedPage preparePage(const Text& path, const CompressionOptions& options, ProgressIndicator* progress,
                         WriteMode mode) {
  const std::string native = nativePath(path);
  if (hasNonPageName(native.substr(native.rfind('/') + 1))) {
    PreparedPage notPage;
    notPage.notPage = true;
    return notPage;
  }
  std::string bytes;
  std::optional<FileInfo> readInfo;
  try {
    // A page that another program is writing is read again until one read
    // sees it whole; one that keeps changing is given up.
    for (int attempt = 1;; ++attempt) {
      FileRead read = files().readFileWithInfo(
          native, [&](const FileInfo& file) { refuseLargePageThatCannotFit(file.size); });
      bytes = std::move(read.bytes);
      readInfo = read.after;
      if (!read.before || !readInfo || readInfo->unchangedSince(*read.before)) break;
      if (attempt == kReadsOfAChangingPage) throw FileError(std::string(kChangedDuringRun));
    }
  } catch (...) {
    PreparedPage unread;
    unread.error = std::current_exception();
    return unread;
  }
  PreparedPage page = preparePageBytes(std::move(bytes), options, progress, native);
  page.readFrom = native;
  page.readInfo = readInfo;
  const bool sameBytes = !mirrorPath(path, options) && page.bytes && page.result == *page.bytes;
  if (mode == WriteMode::Write && !page.error && !page.check4Failed && !page.notHtml && !page.notPage && !sameBytes)
    stageResult(page, path, options);
  return page;
}

PreparedPage preparePageBytes(std::string bytes, const CompressionOptions& options, ProgressIndicator* progress,
                              const std::string& nativePagePath) {
  PreparedPage page;
  ProgressIndicator& sink = progress != nullptr ? *progress : static_cast<ProgressIndicator&>(page.progress);
  try {
    page.bytes = std::move(bytes);
    refuseLargePageThatCannotFit(page.bytes->size());
    const PageEncoding encoding = detectPageEncoding(*page.bytes);
    if (encoding.codePage == nullptr) throw PageError(encoding.refusal);
    if (holdsBinaryBytes(*page.bytes)) {
      page.notPage = true;
      return page;
    }
    if (compressedInPieces(page.bytes->size())) {
      std::optional<PiecewiseResult> piecewise =
          compressInPieces(*page.bytes, *encoding.codePage, options, nativePagePath, sink);
      if (piecewise) {
        page.notPage = piecewise->notPage;
        page.check4Failed = piecewise->check4Failed;
        page.notHtml = piecewise->notHtml;
        page.result = std::move(piecewise->result);
        return page;
      }
    }
    refusePageThatCannotFit(page.bytes->size());
    PageChars pageChars = PageChars::decode(*page.bytes, *encoding.codePage);
    if (mostlyUndecodable(pageChars) || !startsLikeHtml(pageChars.view())) {
      page.notPage = true;
      return page;
    }
    if (options.requireHtml && !hasHtmlTagExactCase(pageChars.view())) {
      page.check4Failed = true;
      return page;
    }
    page.notHtml = !hasHtmlTag(pageChars.view());
    PageSplit split = scanPage(std::move(pageChars));
    if (split.lastIndex < 1) throw PageError("页面中的标记少于两个");
    sink.setRange(0, split.lastIndex);
    rewritePage(split, options.compressScripts, pageStyleRules(split, nativePagePath), sink, options.level);
    if (options.preformatParagraphs) convertParagraphs(split);
    page.result = assembleEncoded(std::move(split), options.breakLinesAfterTags);
  } catch (const std::bad_alloc&) {
    page.error = std::make_exception_ptr(PageError("内存不足"));
  } catch (...) {
    page.error = std::current_exception();
  }
  return page;
}

PageOutcome beginCommit(PreparedPage& page, Text path, const CompressionOptions& options, ProgressIndicator& progress,
                        RestoreQuestion& question, WriteMode mode) {
  PageOutcome outcome{std::move(path), true};
  failOnError(page, outcome, options, question, mode, [&] { finish(page, outcome, options, progress, mode); });
  return outcome;
}

PageOutcome placePage(PreparedPage& page, PageOutcome begun, const CompressionOptions& options,
                      RestoreQuestion& question) {
  if (!page.awaitingPlace) return begun;
  failOnError(page, begun, options, question, WriteMode::Write, [&] {
    if (page.replacesFile) SyncBackupStore();
    checkStillAsRead(page);
    page.staged->place();
    page.awaitingPlace = false;
  });
  return begun;
}

PageOutcome commitPage(PreparedPage& page, Text path, const CompressionOptions& options, ProgressIndicator& progress,
                       RestoreQuestion& question, WriteMode mode) {
  return placePage(page, beginCommit(page, std::move(path), options, progress, question, mode), options, question);
}

PageOutcome compressPageFile(Text path, const CompressionOptions& options, ProgressIndicator& progress,
                             RestoreQuestion& question) {
  PreparedPage page = preparePage(path, options, &progress);
  return commitPage(page, std::move(path), options, progress, question);
}

}  // namespace vantiro
