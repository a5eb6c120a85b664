#include "platform/resolved_directories.h"

namespace vantiro {

void ResolvedDirectories::keep(bool on) {
  const std::lock_guard<std::mutex> lock(mutex_);
  keeping_ = on;
  if (!on) known_.clear();
}

std::optional<std::string> ResolvedDirectories::find(const std::string& path, dev_t device, ino_t inode) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = known_.find(path);
  if (found == known_.end() || found->second.device != device || found->second.inode != inode) return std::nullopt;
  return found->second.resolved;
}

void ResolvedDirectories::remember(const std::string& path, dev_t device, ino_t inode, const std::string& resolved) {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!keeping_) return;
  if (known_.size() >= kMostKnown) known_.clear();
  known_[path] = Known{device, inode, resolved};
}

ResolvedDirectories& resolvedDirectories() {
  static ResolvedDirectories directories;
  return directories;
}

}  // namespace vantiro
