#include "platform/system.h"

#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace vantiro {
namespace {

double& pauseScale() {
  static double scale = 1.0;
  return scale;
}

}  // namespace

void pauseMilliseconds(int ms) {
  double scaled = ms * pauseScale();
  if (scaled > 0) std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(scaled * 1000)));
}

void setPauseScale(double scale) { pauseScale() = scale; }

std::int64_t uptimeMilliseconds() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

Text localDateTimeText(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return fromUtf8(buf);
}

Text nowText() { return localDateTimeText(std::time(nullptr)); }

std::size_t processorCores() { return std::max(std::thread::hardware_concurrency(), 1U); }

}  // namespace vantiro
