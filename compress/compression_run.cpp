#include "compress/compression_run.h"

#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace vantiro {
namespace {

// Puts a 64-bit range into an int bar: value clamped into 0..maximum,
// maximum at least 1, both scaled by the same factor when needed.
void reportBar(RunObserver& observer, RunBar bar, std::int64_t maximum, std::int64_t value) {
  maximum = std::max<std::int64_t>(maximum, 1);
  value = std::clamp<std::int64_t>(value, 0, maximum);
  if (maximum > INT_MAX) {
    const std::int64_t factor = maximum / INT_MAX + 1;
    maximum /= factor;
    value /= factor;
  }
  observer.setBar(bar, static_cast<int>(maximum), static_cast<int>(value));
}

// Floor of (before - after) * 10000 / before, in hundredths of a percent.
std::int64_t savingHundredths(std::int64_t before, std::int64_t after) {
  const std::int64_t saved = before - after;
  constexpr std::int64_t kSafe = INT64_MAX / 10000;
  if (saved > -kSafe && saved < kSafe) {
    const std::int64_t scaled = saved * 10000;
    std::int64_t q = scaled / before;
    if ((scaled % before != 0) && ((scaled < 0) != (before < 0))) --q;
    return q;
  }
  return static_cast<std::int64_t>(std::floor(static_cast<long double>(saved) * 10000 / before));
}

}  // namespace

void RunObserver::betweenPages() { pauseMilliseconds(1); }

Text destinationColumn(const Text& path, const CompressionOptions& options) {
  if (!options.Check1 || options.text1.empty() || options.text2.empty()) return {};
  const std::size_t n = options.text1.size();
  if (upperAscii(TextView(path).substr(0, n)) == upperAscii(options.text1))
    return options.text2 + path.substr(std::min(n, path.size()));
  return path;
}

RunRow makeRunRow(const Text& path, const CompressionOptions& options) {
  RunRow row;
  row.source = path;
  row.destination = destinationColumn(path, options);
  if (auto info = files().stat(nativePath(path))) {
    row.size = fromUtf8(std::to_string(info->size));
    row.date = localDateTimeText(info->modified);
  }
  return row;
}

Text savingText(std::int64_t before, std::int64_t after) {
  if (before == 0) return U"0%";
  const std::int64_t q = savingHundredths(before, after);
  const std::uint64_t magnitude = q < 0 ? 0 - static_cast<std::uint64_t>(q) : static_cast<std::uint64_t>(q);
  std::string text = q < 0 ? "-" : "";
  text += std::to_string(magnitude / 100);
  const std::uint64_t fraction = magnitude % 100;
  if (fraction != 0) {
    text += '.';
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
  }
  return fromUtf8(text + "%");
}

std::int64_t sizeColumnValue(TextView text) {
  Text digits = trimSpaces(text);
  if (digits.empty()) return 0;
  std::int64_t value = 0;
  for (char32_t c : digits) {
    if (c < U'0' || c > U'9' || value > (INT64_MAX - 9) / 10) return 0;
    value = value * 10 + static_cast<std::int64_t>(c - U'0');
  }
  return value;
}

RunTotals ys(std::vector<RunRow>& rows, RunObserver& observer) {
  RunTotals totals;
  totals.pages = rows.size();
  observer.notice(Text(kRunNotice));
  std::int64_t totalMaximum = 1;
  std::int64_t totalSaved = 0;
  reportBar(observer, RunBar::TotalSaving, totalMaximum, totalSaved);
  observer.setStatus(Text(kStatusInitialising));
  const auto rowCount = static_cast<std::int64_t>(rows.size());

  for (std::size_t i = 0; i < rows.size(); ++i) {
    RunRow& row = rows[i];
    observer.setStatus(Text(kStatusCompressing) + row.source);
    Text path = row.source;
    if (!isNormalFile(nativePath(path))) {
      row.result = kResultMissing;
      ++totals.missing;
    } else {
      reportBar(observer, RunBar::Overall, rowCount, static_cast<std::int64_t>(i) + 1);
      int pageResult = 1;
      jf3(path, pageResult, observer.options(), observer.pageProgress(), observer.restoreQuestion());
      row.outcome = path;
      std::optional<FileInfo> written;
      if (pageResult == 1) written = files().stat(nativePath(path));
      if (written) {
        const std::int64_t a = sizeColumnValue(row.size);
        const auto b = static_cast<std::int64_t>(written->size);
        row.result = kResultSucceeded;
        row.newSize = fromUtf8(std::to_string(b));
        row.ratio = savingText(a, b);
        reportBar(observer, RunBar::PageSaving, a, a - b);
        totalMaximum += a;
        totalSaved += a - b;
        reportBar(observer, RunBar::TotalSaving, totalMaximum, totalSaved);
        ++totals.succeeded;
        totals.bytesBefore += a;
        totals.bytesAfter += b;
      } else {
        row.result = kResultFailed;
        ++totals.failed;
      }
    }
    observer.rowFinished(i, row);
    observer.betweenPages();
  }
  observer.setStatus(Text(kStatusFinished));
  return totals;
}

}  // namespace vantiro
