#include "common/tips_file.h"

#include "platform/code_page.h"
#include "platform/file_service.h"
#include "platform/system.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>

namespace vantiro {
std::string tipsFilePath() { return programDirectory() + "rjyl.dat"; }

Text missingTipsFileText() {
  return U"rjyl.dat 文件未找到？\r\n\r\n使用记事本，创建一个名为 rjyl.dat 的文本文件，其中每行一个技巧。 "
         U"然后，放在应用程序所在目录下。";
}

std::optional<std::vector<Text>> readTipsFile(const std::string& path) {
  if (path.empty() || !isNormalFile(path)) return std::nullopt;
  try {
    return splitCrLfLines(decodeAnsi(files().readFile(path)));
  } catch (const FileError&) {
    return std::nullopt;
  }
}

UniformRandom clockSeededRandom() {
  auto engine = std::make_shared<std::mt19937_64>(
      static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
  return [engine] { return std::generate_canonical<double, 53>(*engine); };
}

std::size_t pickTip(std::size_t count, double r) {
  if (count == 0) return 0;
  if (!(r >= 0.0)) r = 0.0;  // also catches NaN
  auto index = static_cast<std::size_t>(std::floor(r * static_cast<double>(count)));
  // generate_canonical may round up to 1.0 on some libraries: stay in range.
  return std::min(index, count - 1) + 1;
}

TipsOfTheDay::TipsOfTheDay(UniformRandom random) : random_(std::move(random)) {}

bool TipsOfTheDay::LoadTips(const std::string& path) {
  auto lines = readTipsFile(path);
  if (!lines) return false;
  tips_ = std::move(*lines);
  pickRandomTip();
  return true;
}

void TipsOfTheDay::pickRandomTip() { current_ = pickTip(tips_.size(), random_ ? random_() : 0.0); }

std::optional<Text> TipsOfTheDay::currentTipText() const {
  if (tips_.empty() || current_ == 0) return std::nullopt;
  return tips_[current_ - 1];
}

}  // namespace vantiro
