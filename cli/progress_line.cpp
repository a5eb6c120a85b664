#include "cli/progress_line.h"

#include "cli/output_format.h"
#include "platform/system.h"

#include <cstdio>
#include <ostream>

namespace vantiro::cli {
namespace {

constexpr std::int64_t kRedrawMilliseconds = 100;
// The end of a long path is what tells pages apart; the line stays short
// enough not to wrap on a usual terminal, which would defeat redrawing it.
constexpr std::size_t kShownPathCharacters = 50;

}  // namespace

std::string byteCountText(std::int64_t bytes) {
  if (bytes < 1024) return std::to_string(bytes) + " B";
  const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(units)) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

ProgressLine::ProgressLine(std::ostream& err, std::function<std::int64_t()> clock)
    : err_(err), clock_(clock ? std::move(clock) : std::function<std::int64_t()>(uptimeMilliseconds)) {}

void ProgressLine::show(std::size_t n, std::size_t total, std::int64_t bytes, TextView page) {
  const std::int64_t now = clock_();
  if (drawn_ && now - lastDrawn_ < kRedrawMilliseconds) return;
  drawn_ = true;
  visible_ = true;
  lastDrawn_ = now;
  Text shown(page.size() > kShownPathCharacters ? U"…" + Text(page.substr(page.size() - kShownPathCharacters))
                                                 : Text(page));
  shown_ = "\r\033[K[" + std::to_string(n) + '/' + std::to_string(total) + "] " + byteCountText(bytes) + ' ' +
           lineField(shown);
  err_ << shown_ << std::flush;
}

void ProgressLine::printAbove(std::ostream& stream, const std::string& text) {
  const bool wasVisible = visible_;
  clear();
  stream << text << std::flush;
  if (!wasVisible) return;
  err_ << shown_ << std::flush;
  visible_ = true;
}

void ProgressLine::clear() {
  if (!visible_) return;
  err_ << "\r\033[K" << std::flush;
  visible_ = false;
}

}  // namespace vantiro::cli
