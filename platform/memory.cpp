#include "platform/memory.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <string>

namespace vantiro {
namespace {

// The first number in the file at `path` after `key` (the whole file when the
// key is empty); nothing when it cannot be read or says "max".
std::optional<std::uint64_t> numberIn(const char* path, const std::string& key) {
  std::ifstream in(path);
  std::string word;
  while (in >> word) {
    if (!key.empty() && word != key) continue;
    std::uint64_t value = 0;
    if (!key.empty() && !(in >> value)) return std::nullopt;
    if (key.empty()) {
      if (word.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
      value = std::stoull(word);
    }
    return value;
  }
  return std::nullopt;
}

void bound(std::optional<std::uint64_t>& limit, std::uint64_t by) { limit = limit ? std::min(*limit, by) : by; }

}  // namespace

void keepFreedMemoryForReuse() {
#if defined(M_MMAP_MAX) && defined(M_TRIM_THRESHOLD) && defined(M_TOP_PAD)  // the GNU allocator
  // Large blocks come from the heap rather than a mapping of their own (a
  // mapping is cleared anew on every use), and the heap keeps up to 256 MB
  // free at its top before it shrinks.
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_TOP_PAD, 16 << 20);
#endif
}

std::optional<std::uint64_t> availableMemory() {
  std::optional<std::uint64_t> limit;
  if (const auto kilobytes = numberIn("/proc/meminfo", "MemAvailable:")) bound(limit, *kilobytes * 1024);
  const auto groupMax = numberIn("/sys/fs/cgroup/memory.max", "");
  const auto groupNow = numberIn("/sys/fs/cgroup/memory.current", "");
  if (groupMax && groupNow) bound(limit, *groupMax > *groupNow ? *groupMax - *groupNow : 0);
  rlimit space{};
  if (::getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY) {
    const auto used = numberIn("/proc/self/status", "VmSize:");
    const std::uint64_t taken = used ? *used * 1024 : 0;
    bound(limit, space.rlim_cur > taken ? space.rlim_cur - taken : 0);
  }
  return limit;
}

}  // namespace vantiro
