#include "platform/kept_appends.h"

#include <unistd.h>

#include <algorithm>

namespace vantiro {

void KeptAppends::keep(bool on) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    keeping_ = on;
  }
  if (!on) closeAll();
}

bool KeptAppends::keeping() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return keeping_;
}

int KeptAppends::descriptorFor(const std::string& path, dev_t device, ino_t inode) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.path == path; });
  if (found == kept_.end()) return -1;
  if (found->device == device && found->inode == inode) {
    std::rotate(found, found + 1, kept_.end());  // now the most recently used
    return kept_.back().fd;
  }
  ::close(found->fd);
  kept_.erase(found);
  return -1;
}

void KeptAppends::keepOpen(const std::string& path, int fd, dev_t device, ino_t inode) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!keeping_) {
    ::close(fd);
    return;
  }
  if (kept_.size() == kMostKept) {
    ::close(kept_.front().fd);
    kept_.erase(kept_.begin());
  }
  kept_.push_back({path, fd, device, inode});
}

void KeptAppends::forget(const std::string& path) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.path == path; });
  if (found == kept_.end()) return;
  ::close(found->fd);
  kept_.erase(found);
}

void KeptAppends::closeAll() {
  const std::lock_guard<std::mutex> lock(mutex_);
  for (const Kept& k : kept_) ::close(k.fd);
  kept_.clear();
}

}  // namespace vantiro
