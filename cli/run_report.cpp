#include "cli/run_report.h"

#include "cli/cli_language.h"
#include "compress/failure_reasons.h"

#include <ostream>

namespace vantiro::cli {

RunReport::RunReport(CompressionOptions options, OutputStyle style, bool printRows, std::ostream& out,
                     std::ostream& err, ProgressCount& progress, std::size_t jobs)
    : options_(std::move(options)),
      style_(style),
      printRows_(printRows),
      out_(out),
      err_(err),
      progress_(progress),
      answer_(options_.offerRestoreAfterError),
      jobs_(jobs) {}

void RunReport::setStatus(const Text& status) {
  if (progress_.line == nullptr || !status.starts_with(kStatusCompressing)) return;
  progress_.line->show(progress_.done + 1, progress_.total, progress_.bytes,
                       TextView(status).substr(kStatusCompressing.size()));
}

void RunReport::rowFinished(std::size_t index, const RunRow& row) {
  if (newSizes_.size() <= index) newSizes_.resize(index + 1);
  if (row.result == kResultSucceeded) newSizes_[index] = sizeColumnValue(row.newSize);
  ++progress_.done;
  progress_.bytes += sizeColumnValue(row.size);
  if (!printRows_) return;
  const bool failed = row.result != kResultSucceeded;
  if (style_ == OutputStyle::Quiet && !failed) return;

  const Text reason = failureReason(row);
  if (style_ == OutputStyle::Json) {
    auto number = [](const Text& column) -> std::optional<std::int64_t> {
      if (column.empty()) return std::nullopt;
      return sizeColumnValue(column);
    };
    JsonLine line;
    line.text("type", U"page")
        .text("source", row.source)
        .textOrNull("destination", row.destination)
        .number("size", number(row.size))
        .text("date", row.date)
        .text("result", row.result)
        .number("new_size", number(row.newSize))
        .percentage("saving", row.ratio);
    if (failed)
      line.text("reason", reason);
    else
      line.nullValue("reason");
    print(out_, line.line(), progress_.rowsOnTerminal);
    return;
  }
  if (failed) print(err_, lineField(rowWord(row.result)) + ": " + lineField(row.source) + ": " + lineField(reason) + '\n', true);
  print(out_,
        lineField(row.source) + '\t' + lineField(row.destination) + '\t' + lineField(row.size) + '\t' +
            lineField(row.date) + '\t' + lineField(rowWord(row.result)) + '\t' + lineField(row.newSize) + '\t' +
            lineField(row.ratio) + '\n',
        progress_.rowsOnTerminal);
}

void RunReport::print(std::ostream& stream, const std::string& text, bool onTerminal) {
  if (progress_.line != nullptr && onTerminal)
    progress_.line->printAbove(stream, text);
  else
    stream << text << std::flush;
}

OptionSaving optionSaving(std::string option, const RunTotals& without,
                          const std::vector<std::optional<std::int64_t>>& sizesWithout,
                          const std::vector<std::optional<std::int64_t>>& sizesWith) {
  OptionSaving saving{std::move(option), without.bytesAfter, 0};
  for (std::size_t i = 0; i < sizesWithout.size() && i < sizesWith.size(); ++i)
    if (sizesWithout[i] && sizesWith[i]) saving.extraSaved += *sizesWithout[i] - *sizesWith[i];
  saving.bytesAfter -= saving.extraSaved;
  return saving;
}

void printSummary(const RunTotals& totals, const std::vector<OptionSaving>& savings, OutputStyle style,
                  bool dryRun, std::ostream& out) {
  if (style == OutputStyle::Json) {
    JsonLine line;
    line.text("type", U"summary")
        .flag("dry_run", dryRun)
        .number("pages", static_cast<std::int64_t>(totals.pages))
        .number("succeeded", static_cast<std::int64_t>(totals.succeeded))
        .number("failed", static_cast<std::int64_t>(totals.failed))
        .number("missing", static_cast<std::int64_t>(totals.missing))
        .number("bytes_before", totals.bytesBefore)
        .number("bytes_after", totals.bytesAfter)
        .percentage("saving", savingText(totals.bytesBefore, totals.bytesAfter));
    if (!savings.empty()) {
      std::string list = "[";
      for (const OptionSaving& s : savings) {
        JsonLine item;
        item.text("option", fromUtf8(s.option))
            .number("bytes_after", s.bytesAfter)
            .percentage("saving", savingText(totals.bytesBefore, s.bytesAfter))
            .number("extra_saved", s.extraSaved);
        if (list.size() > 1) list += ',';
        list += item.object();
      }
      line.raw("by_option", list + "]");
    }
    out << line.line();
    return;
  }
  const char* bytes = say(" 字节", " bytes");
  out << say("总计 ", "pages ") << totals.pages << say(" 个文件\t成功 ", "\tsucceeded ") << totals.succeeded
      << say(" 个\t压缩前 ", "\tbefore ") << totals.bytesBefore << bytes << say("\t压缩后 ", "\tafter ")
      << totals.bytesAfter << bytes << say("\t压缩率 ", "\tsaving ")
      << toUtf8(savingText(totals.bytesBefore, totals.bytesAfter)) << '\n';
  for (const OptionSaving& s : savings)
    out << s.option << say("\t压缩后 ", "\tafter ") << s.bytesAfter << bytes << say("\t压缩率 ", "\tsaving ")
        << toUtf8(savingText(totals.bytesBefore, s.bytesAfter)) << say("\t多省 ", "\tsaves ") << s.extraSaved
        << say(" 字节\n", " bytes more\n");
}

}  // namespace vantiro::cli
