#pragma once
// Directories resolved during a run, remembered with the file each was: a run
// looks up where its mirror's destination and the directories in it lead for
// every page, and a directory found again as the same file (same device and
// inode) needs no new resolving, which costs three system calls where a look
// at it costs one. Only while a run writes: a directory moved together with
// the one holding it is the same file at a new place, which a later run must
// see.

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace vantiro {

class ResolvedDirectories {
 public:
  // Whether directories are remembered; turning it off forgets them.
  void keep(bool on);
  // What `path` resolved to when it was last the directory `device`/`inode`.
  std::optional<std::string> find(const std::string& path, dev_t device, ino_t inode) const;
  void remember(const std::string& path, dev_t device, ino_t inode, const std::string& resolved);

 private:
  struct Known {
    dev_t device = 0;
    ino_t inode = 0;
    std::string resolved;
  };
  // A run over a large tree forgets them all at this many rather than grow
  // without bound.
  static constexpr std::size_t kMostKnown = 1024;

  mutable std::mutex mutex_;
  bool keeping_ = false;
  std::unordered_map<std::string, Known> known_;
};

// The directories the process remembers.
ResolvedDirectories& resolvedDirectories();

}  // namespace vantiro
