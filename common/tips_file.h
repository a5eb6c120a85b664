#pragma once
// The tips file "rjyl.dat" of the program directory (one tip per CR LF line,
// in the code page; every line, an empty one included, is a tip) and the
// random choice of the tip to show.

#include "platform/text.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vantiro {

// programDirectory() + "rjyl.dat".
std::string tipsFilePath();

// What the tip window shows instead of a tip when the file cannot be found.
Text missingTipsFileText();

// Every line of the file, in order. Nothing when `path` is empty, names no
// normal file, or the file cannot be read: the tip window treats all of these
// as a missing file.
std::optional<std::vector<Text>> readTipsFile(const std::string& path);

// A source of uniformly distributed numbers r with 0 <= r < 1.
using UniformRandom = std::function<double()>;
// The program's source, seeded from the clock.
UniformRandom clockSeededRandom();

// The 1-based number of the tip that r picks among `count` tips:
// floor(r * count) + 1, so each tip is equally likely. 0 when there are none.
std::size_t pickTip(std::size_t count, double r);

// The tips of one opening of the tip window and the one shown.
class TipsOfTheDay {
 public:
  explicit TipsOfTheDay(UniformRandom random = clockSeededRandom());

  // Fills the tips from the file and picks one at random. False (and no tips)
  // when the path is empty or there is no such file.
  bool LoadTips(const std::string& path);
  // Picks a new current tip at random; the same tip may come twice in a row.
  void pickRandomTip();

  const std::vector<Text>& tips() const { return tips_; }
  // 1-based; 0 before any tip was picked.
  std::size_t currentTip() const { return current_; }
  // The text to show, or nothing when there are no tips (the label then keeps
  // what it showed).
  std::optional<Text> currentTipText() const;

 private:
  UniformRandom random_;
  std::vector<Text> tips_;
  std::size_t current_ = 0;
};

}  // namespace vantiro
