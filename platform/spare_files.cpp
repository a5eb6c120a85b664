#include "platform/spare_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>

namespace vantiro {
namespace {

// Whether no other descriptor has the file open: only then may the process
// take a write lease on it. The lease is given back at once; should another
// program open the file meanwhile, it waits those few instructions, and the
// signal that would tell this process so is one ignored unless handled.
bool openNowhereElse(int fd) {
  if (::fcntl(fd, F_SETSIG, SIGURG) != 0 || ::fcntl(fd, F_SETLEASE, F_WRLCK) != 0) return false;
  ::fcntl(fd, F_SETLEASE, F_UNLCK);
  return true;
}

// Whether the spare open as `fd` can become a new file with `wanted` and be
// written over without anyone noticing: a plain file of one name, with the
// owner, group and mode wanted (no set-id bits, which a write may clear), no
// extended attributes (an access list stays with the page it was set on), and
// open nowhere else.
bool fits(int fd, const SpareWanted& wanted) {
  struct ::stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) return false;
  if (st.st_uid != wanted.owner || st.st_gid != wanted.group) return false;
  if ((st.st_mode & 07777) != wanted.mode || (wanted.mode & 06000) != 0) return false;
  if (::flistxattr(fd, nullptr, 0) != 0) return false;
  return openNowhereElse(fd);
}

}  // namespace

void SpareFiles::keep(bool on) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    keeping_ = on;
  }
  if (!on) removeAll();
}

bool SpareFiles::keeping() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return keeping_;
}

void SpareFiles::setAside(const std::string& directory, const std::string& path) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string>& kept = unsettled_[directory];
    if (keeping_ && kept.size() + spares_[directory].size() < kMostPerDirectory) {
      kept.push_back(path);
      return;
    }
  }
  ::unlink(path.c_str());
}

std::optional<Spare> SpareFiles::take(const std::string& directory, const SpareWanted& wanted) {
  for (;;) {
    std::string path;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      const auto kept = spares_.find(directory);
      if (kept == spares_.end() || kept->second.empty()) return std::nullopt;
      path = std::move(kept->second.back());
      kept->second.pop_back();
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && fits(fd, wanted)) return Spare{fd, path};
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
  }
}

void SpareFiles::settle() {
  std::map<std::string, std::vector<std::string>> unsettled;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    unsettled.swap(unsettled_);
  }
  for (auto& [directory, paths] : unsettled) {
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool durable = fd >= 0 && ::fsync(fd) == 0;
    if (fd >= 0) ::close(fd);
    if (!durable) {
      for (const std::string& path : paths) ::unlink(path.c_str());
      continue;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string>& kept = spares_[directory];
    kept.insert(kept.end(), paths.begin(), paths.end());
  }
}

void SpareFiles::removeAll() {
  std::map<std::string, std::vector<std::string>> removed;
  std::map<std::string, std::vector<std::string>> unsettled;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    removed.swap(spares_);
    unsettled.swap(unsettled_);
  }
  for (const auto* kept : {&removed, &unsettled})
    for (const auto& [directory, paths] : *kept)
      for (const std::string& path : paths) ::unlink(path.c_str());
}

}  // namespace vantiro
