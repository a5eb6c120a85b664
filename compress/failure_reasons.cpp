#include "compress/failure_reasons.h"

#include "compress/page_compressor.h"
#include "platform/file_service.h"

namespace vantiro {
namespace {

constexpr TextView kMissingAdvice = U"文件不存在：检查路径，或在文件移动后重新加入列表";
constexpr TextView kNotAFileAdvice = U"不是普通文件（目录、管道、设备或套接字），不压缩：只把网页文件加入列表";
constexpr TextView kRequiredHtmlAdvice =
    U"页面中没有小写或大写的 <html> 标记，而选了 HTML 文件检验（“不进行HTML文件检验”，--require-html）：取消它后再压缩";
constexpr TextView kNotHtmlAdvice =
    U"页面中没有 <html> 标记，不是完整的网页，未改动：只压缩完整的网页（片段可用 vantiro-cli compress - 压缩）";
constexpr TextView kChangedAdvice = U"：别的程序正在写这个文件，等它写完后再压缩";
constexpr TextView kTooFewTags = U"页面中的标记少于两个";
constexpr TextView kTooFewTagsAdvice = U"：没有可以压缩的地方，文件保持原样";

}  // namespace

Text recordedFailure(const RunRow& row) {
  if (row.result != kResultFailed) return {};
  // The compressor appends to the page's path, or to its mirror's once mapped.
  for (const Text* path : {&row.destination, &row.source})
    if (!path->empty() && row.outcome.size() > path->size() && row.outcome.starts_with(*path) &&
        row.outcome[path->size()] == U'|')
      return row.outcome.substr(path->size() + 1);
  return row.outcome;
}

Text explainFailure(TextView recorded) {
  if (recorded == kRequiredHtmlMissingMarker.substr(1)) return Text(kRequiredHtmlAdvice);
  if (recorded == kNotHtmlMarker.substr(1)) return Text(kNotHtmlAdvice);
  // A page without <html> that failed in the passes too names both; the passes' reason is the one to act on.
  const Text notHtmlFirst = Text(kNotHtmlMarker.substr(1)) + U"|";
  if (recorded.starts_with(notHtmlFirst)) return explainFailure(recorded.substr(notHtmlFirst.size()));
  if (recorded == fromUtf8(std::string(kChangedDuringRun))) return Text(recorded) + Text(kChangedAdvice);
  if (recorded == kTooFewTags) return Text(recorded) + Text(kTooFewTagsAdvice);
  return Text(recorded);
}

Text failureReason(const RunRow& row) {
  if (row.result == kResultMissing)
    return Text(files().stat(nativePath(row.source)) ? kNotAFileAdvice : kMissingAdvice);
  if (row.result != kResultFailed) return {};
  return explainFailure(recordedFailure(row));
}

}  // namespace vantiro
