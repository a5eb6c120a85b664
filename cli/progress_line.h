#pragma once
// The status line of a run on a terminal: "[n/N] bytes so far, the page being
// read", redrawn in place on standard error, at most ten times a second.

#include "platform/text.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

namespace vantiro::cli {

// A byte count as a person reads it: "512 B", "1.5 KiB", "23.4 MiB", "2.0 GiB".
std::string byteCountText(std::int64_t bytes);

class ProgressLine {
 public:
  // `clock` gives milliseconds; the uptime clock unless a test gives another.
  explicit ProgressLine(std::ostream& err, std::function<std::int64_t()> clock = {});

  // Draws "[n/total] bytes page" over the line drawn before, unless the line
  // was drawn less than 100 ms ago.
  void show(std::size_t n, std::size_t total, std::int64_t bytes, TextView page);
  // Prints `text` (whole lines) to `stream` above the line: wipes the line,
  // prints, and draws the line again as it was.
  void printAbove(std::ostream& stream, const std::string& text);
  // Wipes the line, so that what is printed next starts on a clean line.
  void clear();

 private:
  std::ostream& err_;
  std::function<std::int64_t()> clock_;
  std::int64_t lastDrawn_ = 0;
  std::string shown_;  // the line as last drawn
  bool drawn_ = false;    // ever: the next line waits for the pause since
  bool visible_ = false;  // on the terminal now
};

}  // namespace vantiro::cli
