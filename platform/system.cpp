#include "platform/system.h"

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <thread>

namespace vantiro {
namespace {

std::string& overrideDirectory() {
  static std::string dir;
  return dir;
}

double& pauseScale() {
  static double scale = 1.0;
  return scale;
}

std::string withSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string programDirectory() {
  if (!overrideDirectory().empty()) return withSlash(overrideDirectory());
  if (const char* home = std::getenv("VANTIRO_HOME"); home && *home) return withSlash(home);
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "./";
  std::string exe(buf, static_cast<std::size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

void setProgramDirectory(const std::string& dir) { overrideDirectory() = dir; }

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

Text localDateTimeText(std::time_t when) {
  std::tm tm{};
  localtime_r(&when, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return fromUtf8(buf);
}

Text nowText() { return localDateTimeText(std::time(nullptr)); }

}  // namespace vantiro
